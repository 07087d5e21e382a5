#include "platform/front_end/window_loader.h"

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include <vector>

namespace velmora {

namespace {

std::string ProgramFolder() {
  char path[PATH_MAX];
  ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) {
    return ".";
  }
  std::string program(path, static_cast<size_t>(length));
  return program.substr(0, program.rfind('/'));
}

}  // namespace

std::unique_ptr<ui::UiHost> LoadWindowHost(int scale, std::string* error) {
  std::string folder = ProgramFolder();
  // Beside the program in the build folder; below its library folder when
  // installed (bin/ and lib/ share one prefix).
  const std::vector<std::string> candidates = {
      folder + "/" + WindowModuleName,
      folder + "/../" + VELMORA_MODULE_DIR + "/" + WindowModuleName,
  };
  std::string reasons;
  for (const std::string& candidate : candidates) {
    if (::access(candidate.c_str(), F_OK) != 0) {
      continue;
    }
    // Never closed: Qt is not made to be unloaded.
    void* module = ::dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
      reasons = ::dlerror();
      continue;
    }
    using Open = ui::UiHost* (*)(int);
    auto open = reinterpret_cast<Open>(::dlsym(module, "VelmoraOpenWindowHost"));
    if (open == nullptr) {
      reasons = candidate + " is not the window front end";
      continue;
    }
    return std::unique_ptr<ui::UiHost>(open(scale));
  }
  *error = "the window front end cannot be loaded: " +
           (reasons.empty() ? std::string(WindowModuleName) + " is missing" : reasons) +
           "; start it with --terminal";
  return nullptr;
}

}  // namespace velmora
