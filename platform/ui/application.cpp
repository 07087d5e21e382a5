#include "platform/ui/application.h"

#include <cstdio>

#include "platform/platform.h"
#include "platform/text.h"
#include "platform/ui/dialog.h"
#include "platform/ui/single_instance.h"
#include "platform/ui/ui_host.h"

namespace velmora::ui {

namespace {

Application*& TheApplication() {
  static Application* application = nullptr;
  return application;
}

}  // namespace

Application::Application() {
  TheApplication() = this;
}

Application::~Application() {
  if (TheApplication() == this) {
    TheApplication() = nullptr;
  }
}

Application* Application::Current() {
  return TheApplication();
}

void Application::SetMainWindow(Dialog* dialog) {
  mainWindow_ = dialog;
}

void Application::BeginWaitCursor() {
  if (waitDepth_++ == 0 && HasUi()) {
    Ui().WaitCursorChanged(true);
  }
}

void Application::EndWaitCursor() {
  if (waitDepth_ > 0 && --waitDepth_ == 0 && HasUi()) {
    Ui().WaitCursorChanged(false);
  }
}

ScopedWaitCursor::ScopedWaitCursor() {
  if (Application* application = Application::Current()) {
    application->BeginWaitCursor();
  } else if (HasUi()) {
    Ui().WaitCursorChanged(true);
  }
}

ScopedWaitCursor::~ScopedWaitCursor() {
  if (Application* application = Application::Current()) {
    application->EndWaitCursor();
  } else if (HasUi()) {
    Ui().WaitCursorChanged(false);
  }
}

std::u16string ApplicationTitle() {
  char16_t path[MaxPath] = {};
  if (!OwnModulePath(path, MaxPath)) {
    return u"";
  }
  std::u16string_view name(path);
  size_t slash = name.find_last_of(u"/\\");
  if (slash != std::u16string_view::npos) {
    name.remove_prefix(slash + 1);
  }
  size_t dot = name.rfind(u'.');
  if (dot != std::u16string_view::npos && dot > 0) {
    name = name.substr(0, dot);
  }
  return std::u16string(name);
}

int RunApplication(const std::string& deviceFolder) {
  Application* application = Application::Current();
  if (application == nullptr) {
    return 1;
  }
  SingleInstance instance(deviceFolder);
  if (!instance.IsFirst() && instance.BringRunningInstanceToFront()) {
    // Started from a shell, a person sees why nothing opened.
    std::fprintf(stderr, "%s: already running on the device '%s'; it was brought to the front\n",
                 ToUtf8(ApplicationTitle()).c_str(), deviceFolder.c_str());
    return 0;
  }
  application->Start();
  return 0;
}

}  // namespace velmora::ui
