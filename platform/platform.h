// The platform context: the one place through which the program reaches the
// device's services. The framework's start-up installs the real services of
// the device folder; tests install their own with ScopedPlatform. Nothing
// else in the system is global.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/device_manager.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/version_resources.h"

namespace velmora {

namespace ui {
class Application;
class Dialog;
class UiHost;
}  // namespace ui

struct PlatformServices {
  PlatformRegistry* registry = nullptr;
  DeviceManager* devices = nullptr;
  PlatformFiles* files = nullptr;
  VersionResources* versions = nullptr;
  ui::UiHost* ui = nullptr;
};

// The services in force. Using one that was not installed is a programming
// error and stops the process with a message.
PlatformRegistry& Registry();
DeviceManager& Devices();
PlatformFiles& Files();
VersionResources& Versions();
ui::UiHost& Ui();
bool HasUi();

// Installs services for its lifetime and restores the previous ones.
class ScopedPlatform {
 public:
  explicit ScopedPlatform(const PlatformServices& services);
  ~ScopedPlatform();
  ScopedPlatform(const ScopedPlatform&) = delete;
  ScopedPlatform& operator=(const ScopedPlatform&) = delete;

 private:
  PlatformServices previous_;
};

// Message box flags and answers.
inline constexpr uint32_t MessageOk = 0x00;
inline constexpr uint32_t MessageYesNo = 0x04;
inline constexpr uint32_t MessageIconExclamation = 0x30;
inline constexpr int AnswerOk = 1;
inline constexpr int AnswerYes = 6;
inline constexpr int AnswerNo = 7;

// Shows a modal message box owned by owner (or by the topmost dialog when
// owner is null) and returns the button pressed. An empty caption shows the
// application's title.
int ShowMessage(ui::Dialog* owner, std::u16string_view text, std::u16string_view caption,
                uint32_t flags);

// Full host path of the running executable, with its terminator, into
// buffer; false when it does not fit (buffer then holds "").
bool OwnModulePath(char16_t* buffer, uint32_t capacity);

}  // namespace velmora
