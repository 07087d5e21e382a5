// A device made from a real handheld's registry: the .reg files of its
// board support package (platform.reg and the driver files, in the CE
// build's dialect, see platform/registry/bsp_reg.h).
//
//   velmora-device init DIR --from FILE.reg [--from MORE.reg ...]
//       [-D NAME[=VALUE] ...] [-I DIR ...] [--strings FILE]
//       [--skip-missing-includes]
//   velmora-device reg import --bsp FILE [-D ...] [-I ...] [--strings FILE]
//       [--skip-missing-includes]
//
// The board's driver DLLs are in its ROM image, which the device does not
// have; the device manager loads only drivers whose DLL is in \windows. So
// init places a small stand-in DLL there for each one that a key below
// "Drivers\BuiltIn" names and the device lacks, and the boot then loads the
// board's drivers by their "Order".
#pragma once

#include <string>
#include <vector>

#include "platform/device/device.h"
#include "platform/registry/bsp_source.h"

namespace velmora {

struct BoardInitOptions {
  // DIR: made when missing; it must not hold a device yet.
  std::string folder;
  // --from FILE (repeatable, at least one): read in this order as one
  // registry (definitions carry over), laid over the device manager's own
  // keys ("Drivers\Active", "Drivers\BuiltIn").
  std::vector<std::string> from;
  // -D NAME[=VALUE] and -I DIR (both repeatable, in order), --strings
  // FILE, --skip-missing-includes.
  BspOptions bsp;
};

struct BoardDeviceReport {
  std::vector<std::string> warnings;  // of the dialect (bsp_reg.h)
  std::vector<std::string> standIns;  // device paths of the stand-in DLLs placed
};

// Makes the device: the device manager's keys and the sample device's file
// system, the board's registry, the stand-in DLLs; then boots it. Nothing is
// made when the files cannot be read or their registry cannot be stored
// (*error names the file and line).
bool CreateBoardDevice(const BoardInitOptions& options, BoardDeviceReport* report,
                       std::string* error);

// The commands: what they did on standard output, warnings and errors on
// standard error ("velmora-device: ..."); the exit code (0, or 1 on failure).
int RunBoardInit(const BoardInitOptions& options);
int RunBspImport(Device& device, const std::string& file, const BspOptions& options);

}  // namespace velmora
