// The window front end as a module that the program loads only when it
// shows a window (platform/front_end/window_loader.h): starting in the
// terminal never pays for loading Qt.
#include "platform/window/window_host.h"

extern "C" __attribute__((visibility("default"))) velmora::ui::UiHost* VelmoraOpenWindowHost(
    int scale) {
  auto* host = new velmora::window::WindowHost(scale);
  host->Open();
  return host;
}
