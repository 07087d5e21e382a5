// The application object: completes a pending driver update, then runs the
// main dialog for the life of the program.
#pragma once

#include "platform/ui/application.h"

namespace velmora {

class ConfigApp final : public ui::Application {
 public:
  bool Start() override;
};

}  // namespace velmora
