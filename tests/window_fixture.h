// The simulated handheld of DeviceFixture shown in the window front end:
// the program's dialogs run on real widgets, and a WindowPerson works them.
#pragma once

#include <memory>

#include "platform/window/window_host.h"
#include "tests/device_fixture.h"
#include "tests/window_person.h"

namespace velmora::testing {

class WindowFixture : public DeviceFixture {
 protected:
  WindowFixture();
  ~WindowFixture() override;

  // The program's start routine: the main dialog, until it ends.
  void RunProgram();
  // Nothing left undone by the scripts.
  void ExpectPersonDone();

  window::WindowHost window_;
  WindowPerson person_{window_};

 private:
  std::unique_ptr<ScopedPlatform> windowPlatform_;
};

}  // namespace velmora::testing
