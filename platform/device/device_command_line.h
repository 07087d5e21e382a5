// The command line of velmora-device: options before the command
// (--device DIR, --device=DIR, -d DIR), one command and its operands.
// Bad use is reported in one line that names the problem and --help, with
// exit status 2, as coreutils and git do.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/registry/bsp_source.h"

namespace velmora {

struct DeviceCommandLine {
  std::string folder;   // --device DIR; empty: $VELMORA_DEVICE or the default
  std::string command;  // "init", "boot", ..., "reg export", "reg import"
  // The command's operands in order: init [DIR], activate KEY, version
  // PATH, stage-update FILE, reg export [FILE], reg import FILE.
  std::vector<std::string> operands;
  uint32_t handle = 0;  // deactivate HANDLE
  bool force = false;   // stage-update --force
  bool json = false;    // ports --json
  // A board's .reg files (the CE build's dialect): init DIR --from FILE
  // (repeatable) and reg import --bsp FILE, with -D NAME[=VALUE], -I DIR,
  // --strings FILE and --skip-missing-includes for both.
  std::vector<std::string> from;
  bool bspImport = false;
  BspOptions bsp;
};

// The text of --help.
extern const char* const DeviceUsage;

// Reads the arguments after the program's name. True: *line says what to
// run. False: nothing is to run and the program ends with *exitCode -
// after --help or --version (0, the text on standard output) or after bad
// use (2, one line on standard error).
bool ReadDeviceCommandLine(const std::vector<std::string>& args, DeviceCommandLine* line,
                           int* exitCode);

}  // namespace velmora
