#include "platform/platform.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "platform/text.h"
#include "platform/ui/application.h"
#include "platform/ui/ui_host.h"

namespace velmora {

namespace {

PlatformServices& Current() {
  static PlatformServices services;
  return services;
}

template <class T>
T& Require(T* service, const char* name) {
  if (service == nullptr) {
    std::fprintf(stderr, "velmora: the platform service '%s' is not set up\n", name);
    std::abort();
  }
  return *service;
}

}  // namespace

PlatformRegistry& Registry() {
  return Require(Current().registry, "registry");
}
DeviceManager& Devices() {
  return Require(Current().devices, "device manager");
}
PlatformFiles& Files() {
  return Require(Current().files, "files");
}
VersionResources& Versions() {
  return Require(Current().versions, "version resources");
}
ui::UiHost& Ui() {
  return Require(Current().ui, "user interface");
}
bool HasUi() {
  return Current().ui != nullptr;
}

ScopedPlatform::ScopedPlatform(const PlatformServices& services) : previous_(Current()) {
  Current() = services;
}

ScopedPlatform::~ScopedPlatform() {
  Current() = previous_;
}

int ShowMessage(ui::Dialog* owner, std::u16string_view text, std::u16string_view caption,
                uint32_t flags) {
  ui::UiHost& host = Ui();
  if (owner == nullptr) {
    owner = host.Topmost();
  }
  std::u16string shown(caption);
  if (shown.empty()) {
    shown = ui::ApplicationTitle();
  }
  return host.ShowMessage(owner, text, shown, flags);
}

bool OwnModulePath(char16_t* buffer, uint32_t capacity) {
  if (capacity == 0) {
    return false;
  }
  buffer[0] = 0;
  char path[4096];
  ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) {
    return false;
  }
  std::u16string wide = FromUtf8(std::string_view(path, static_cast<size_t>(n)));
  if (wide.size() + 1 > capacity) {
    return false;
  }
  std::copy(wide.begin(), wide.end(), buffer);
  buffer[wide.size()] = 0;
  return true;
}

}  // namespace velmora
