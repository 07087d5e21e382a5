// The application object of the framework, standing in for the handheld's
// CWinApp. Exactly one exists: the program's global object, which registers
// itself on construction. The framework's start-up (RunApplication) applies
// the single-instance rule and then calls Start.
#pragma once

#include <string>

namespace velmora::ui {

class Dialog;

class Application {
 public:
  Application();
  virtual ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // The program's start routine; true asks for a message loop, which this
  // framework does not have (the program returns false).
  virtual bool Start() = 0;

  // The main-window reference; cleared when that dialog's window goes.
  void SetMainWindow(Dialog* dialog);
  Dialog* mainWindow() const { return mainWindow_; }

  // A nestable wait cursor, shown while the depth is above 0.
  void BeginWaitCursor();
  void EndWaitCursor();

  // The one application object, or nullptr before it is constructed.
  static Application* Current();

 private:
  Dialog* mainWindow_ = nullptr;
  int waitDepth_ = 0;
};

// Shows the wait cursor for its lifetime, through the application object
// (or straight through the front end when there is none, as in tests).
class ScopedWaitCursor {
 public:
  ScopedWaitCursor();
  ~ScopedWaitCursor();
  ScopedWaitCursor(const ScopedWaitCursor&) = delete;
  ScopedWaitCursor& operator=(const ScopedWaitCursor&) = delete;
};

// The application's title: the executable's file name without folder and
// extension ("VelmoraCfg").
std::u16string ApplicationTitle();

// The framework's start-up for the process: the single-instance rule for
// this executable and device folder, then Start of the application object.
// A second instance that brought the first to the front says so in one
// line on standard error and ends. Returns the process's exit code.
int RunApplication(const std::string& deviceFolder);

}  // namespace velmora::ui
