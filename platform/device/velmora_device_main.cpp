// velmora-device: the simulated handheld's own command-line tool. It looks
// at and changes a device folder from the shell; it is not the program.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/build_version.h"
#include "platform/device/board_device.h"
#include "platform/device/device.h"
#include "platform/device/device_command_line.h"
#include "platform/device/ports_command.h"
#include "platform/device/registry_commands.h"
#include "platform/device/run_command.h"
#include "platform/device/update_command.h"
#include "platform/device/version_command.h"
#include "platform/host_io.h"
#include "platform/registry/key_handle.h"
#include "platform/text.h"
#include "platform/version_resources.h"

namespace velmora {
namespace {

int Fail(const std::string& message) {
  std::fprintf(stderr, "velmora-device: %s\n", message.c_str());
  return 1;
}

// The description of a driver key: its FriendlyName or its first subkey's.
std::u16string Description(PlatformRegistry& registry, const std::u16string& keyPath) {
  KeyHandle key(registry);
  std::u16string name;
  if (keyPath.empty() || key.Open(HKEY_LOCAL_MACHINE, keyPath) != StatusSuccess ||
      key.ReadString(u"FriendlyName", &name)) {
    return name;
  }
  for (const std::u16string& sub : key.SubkeyNames()) {
    KeyHandle child(registry);
    if (child.Open(key.get(), sub) == StatusSuccess && child.ReadString(u"FriendlyName", &name)) {
      break;
    }
  }
  return name;
}

int Active(Device& device) {
  PlatformRegistry& registry = device.registry();
  std::printf("%-7s %-8s %-32s %s\n", "NAME", "HANDLE", "KEY", "DESCRIPTION");
  KeyHandle active(registry);
  if (active.Open(HKEY_LOCAL_MACHINE, u"Drivers\\Active") != StatusSuccess) {
    return 0;
  }
  for (const std::u16string& entry : active.SubkeyNames()) {
    KeyHandle key(registry);
    if (key.Open(active.get(), entry) != StatusSuccess) {
      continue;
    }
    uint32_t handle = 0;
    std::u16string name;
    std::u16string driverKey;
    key.ReadNumber(u"Hnd", &handle);
    key.ReadString(u"Name", &name);
    key.ReadString(u"Key", &driverKey);
    std::printf("%-7s %-8u %-32s %s\n", ToUtf8(name).c_str(), handle, ToUtf8(driverKey).c_str(),
                ToUtf8(Description(registry, driverKey)).c_str());
  }
  return 0;
}

int RunCommand(const DeviceCommandLine& line) {
  const std::string& command = line.command;
  if (command == "init") {
    if (!line.from.empty()) {
      BoardInitOptions board;
      board.folder = !line.operands.empty() ? line.operands[0]
                     : !line.folder.empty() ? line.folder
                                            : Device::DefaultFolder();
      board.from = line.from;
      board.bsp = line.bsp;
      return RunBoardInit(board);
    }
    std::string target = !line.operands.empty() ? line.operands[0] : line.folder;
    if (target.empty()) {
      target = Device::DefaultFolder();
    }
    std::string error;
    if (!Device::CreateSample(target, &error)) {
      return Fail(error);
    }
    std::printf("created the sample device in %s\n", target.c_str());
    return 0;
  }
  std::string folder = line.folder.empty() ? Device::DefaultFolder() : line.folder;
  // These look at the store's files themselves: a damaged registry does
  // not open as a device.
  if (command == "reg check") {
    return RunRegCheck(folder);
  }
  if (command == "reg repair") {
    return RunRegRepair(folder);
  }
  std::string error;
  std::unique_ptr<Device> device = Device::Open(folder, &error);
  if (!device) {
    return Fail(error);
  }
  if (command == "boot") {
    if (!device->devices().Boot()) {
      return Fail(device->devices().log().back());
    }
    return Active(*device);
  }
  if (command == "active") {
    return Active(*device);
  }
  if (command == "activate") {
    DeviceHandle handle = device->devices().ActivateDriver(FromUtf8(line.operands[0]), 0);
    if (handle == 0) {
      return Fail(device->devices().log().back());
    }
    std::printf("%u\n", handle);
    return 0;
  }
  if (command == "deactivate") {
    if (device->devices().DeactivateDriver(line.handle) == 0) {
      return Fail(device->devices().log().back());
    }
    return 0;
  }
  if (command == "run") {
    return RunSwitchOn(*device);
  }
  if (command == "ports") {
    return RunPorts(*device, line.json);
  }
  if (command == "version") {
    return RunVersion(device->versions(), line.operands[0]);
  }
  if (command == "stage-update") {
    return RunStageUpdate(device->files(), line.operands[0], line.force);
  }
  if (command == "reg export") {
    return RunRegExport(*device, line.operands.empty() ? "" : line.operands[0]);
  }
  if (command == "reg import") {
    if (line.bspImport) {
      return RunBspImport(*device, line.operands[0], line.bsp);
    }
    return RunRegImport(*device, line.operands[0]);
  }
  if (command == "reg restore") {
    return RunRegRestore(*device, line.operands[0]);
  }
  return Fail("'" + command + "' is not implemented");
}

// Everything a command printed must reach standard output: a full disk or
// a closed pipe there is a failure, or a script would trust an empty
// backup.
int FinishOutput(int status) {
  errno = 0;
  bool flushed = std::fflush(stdout) == 0;
  int cause = errno;
  if (!flushed || std::ferror(stdout)) {
    std::fprintf(stderr, "velmora-device: cannot write standard output: %s\n",
                 cause != 0 ? std::strerror(cause) : "a write failed");
    return 1;
  }
  return status;
}

int Run(const std::vector<std::string>& args) {
  DeviceCommandLine line;
  int exitCode = 0;
  if (!ReadDeviceCommandLine(args, &line, &exitCode)) {
    return FinishOutput(exitCode);
  }
  return FinishOutput(RunCommand(line));
}

}  // namespace
}  // namespace velmora

int main(int argc, char** argv) {
  return velmora::Run(std::vector<std::string>(argv + 1, argv + argc));
}
