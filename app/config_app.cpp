#include "app/config_app.h"

#include "app/config_dialog.h"
#include "driver/driver_control.h"

namespace velmora {

// The one application object, constructed during static initialisation.
ConfigApp theApp;

bool ConfigApp::Start() {
  CompletePendingUpdate();
  ConfigDialog dialog;
  SetMainWindow(&dialog);
  dialog.RunModal();
  return false;
}

}  // namespace velmora
