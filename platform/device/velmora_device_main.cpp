// velmora-device: the simulated handheld's own command-line tool. It looks
// at and changes a device folder from the shell; it is not the program.
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/build_version.h"
#include "platform/device/device.h"
#include "platform/device/registry_commands.h"
#include "platform/host_io.h"
#include "platform/registry/key_handle.h"
#include "platform/registry/registry_limits.h"
#include "platform/serial/run_lock.h"
#include "platform/serial/switched_on_device.h"
#include "platform/text.h"
#include "platform/version_resources.h"

namespace velmora {
namespace {

const char* const Usage =
    "usage: velmora-device [--device DIR] COMMAND\n"
    "       velmora-device --help | --version\n"
    "\n"
    "commands:\n"
    "  init [DIR]           create the sample device (never over an existing one)\n"
    "  boot                 restart the device: load the built-in drivers by Order\n"
    "  active               list the running devices: name, handle, key, description\n"
    "  activate KEY         load the driver of a registry key\n"
    "  deactivate HANDLE    unload a running device\n"
    "  version PATH         FileVersion of a device file (empty line when none)\n"
    "  stage-update FILE    put FILE on the device as \\windows\\Velmora_tmp.dll\n"
    "  reg export [FILE]    write the registry as .reg text (to stdout without FILE)\n"
    "  reg import FILE      merge a .reg file into the registry (\"Drivers\\Active\",\n"
    "                       the running devices, is left alone; FILE - is stdin)\n"
    "  reg restore FILE     replace the whole registry with a .reg file, then boot\n"
    "  reg check            check every record of the registry (exit 1: damaged)\n"
    "  reg repair           rebuild a damaged registry from what can be read,\n"
    "                       keeping a copy of the damaged one\n"
    "  run                  switch the device on: serve its running serial ports on\n"
    "                       this host until Ctrl+C (SIGINT) or SIGTERM\n"
    "  ports                list the endpoints of the device while it is switched on\n"
    "\n"
    "The device is DIR, else $VELMORA_DEVICE, else ~/.local/share/velmora/device.\n"
    "\n"
    "run: every running port COMn that the device can serve gets DIR/dev/COMn, a\n"
    "link to a pseudo-terminal that serial programs (gpsd, minicom, picocom) open\n"
    "like a port. Endpoints follow the device manager (activate, deactivate, boot,\n"
    "VelmoraCfg). Served: the GPS receiver gpsdrv.dll (NMEA once a second along a\n"
    "route; values \"Route\", \"Replay\" of its key), any driver whose key has\n"
    "\"HostPort\" (a host serial device, \"HostBaudRate\" default 4800), and the\n"
    "splitter Velmora.dll: it holds the port of its \"ConnectTo\" (whose endpoint goes\n"
    "away meanwhile) and gives every byte to each of its endpoints DIR/dev/COMn,\n"
    "COMn-2 ... (\"Endpoints\", default 4); \"ReadLog\", \"WriteLog\", \"LogDir\" and\n"
    "\"LogLimit\" are read when it starts. One line on standard error per event. One\n"
    "run per device; it removes everything it made when it ends.\n";

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

int Version(Device& device, const std::string& path) {
  std::u16string devicePath = FromUtf8(path);
  uint32_t size = device.versions().VersionInfoSize(devicePath);
  std::u16string text;
  if (size != 0) {
    std::vector<uint8_t> block(size);
    const void* value = nullptr;
    uint32_t length = 0;
    if (device.versions().ReadVersionInfo(devicePath, size, block.data()) != 0) {
      char table[16] = "040904e4";
      if (QueryVersionValue(block.data(), size, u"\\VarFileInfo\\Translation", &value, &length) &&
          length >= 4) {
        auto* bytes = static_cast<const uint8_t*>(value);
        std::snprintf(table, sizeof table, "%04x%04x", bytes[0] | bytes[1] << 8,
                      bytes[2] | bytes[3] << 8);
      }
      std::u16string sub = u"\\StringFileInfo\\" + FromUtf8(table) + u"\\FileVersion";
      VersionValue fileVersion;
      if (QueryVersionValue(block.data(), size, sub, &fileVersion) && fileVersion.length != 0) {
        text = VersionValueText(fileVersion);
      }
    }
  }
  std::printf("%s\n", ToUtf8(text).c_str());
  return 0;
}

// Serves the device until SIGINT, SIGTERM or SIGHUP.
int SwitchOn(Device& device) {
  sigset_t stopping;
  sigemptyset(&stopping);
  sigaddset(&stopping, SIGINT);
  sigaddset(&stopping, SIGTERM);
  sigaddset(&stopping, SIGHUP);
  ::sigprocmask(SIG_BLOCK, &stopping, nullptr);
  ::signal(SIGPIPE, SIG_IGN);
  int signals = ::signalfd(-1, &stopping, SFD_CLOEXEC);
  if (signals < 0) {
    return Fail("cannot watch for signals");
  }
  std::string error;
  RunLock lock;
  if (!lock.Acquire(device.folder(), &error)) {
    ::close(signals);
    return Fail(error);
  }
  auto tell = [](const std::string& line) {
    std::fprintf(stderr, "velmora-device: %s\n", line.c_str());
  };
  bool ok = true;
  {
    SwitchedOnDevice running(device.registry(), device.files(), device.folder(), tell);
    tell("switched on: " + device.folder() + " (Ctrl+C switches it off)");
    running.Start();
    ok = running.Run(signals);
  }
  ::close(signals);
  tell(ok ? "switched off" : "stopped: waiting for events failed");
  return ok ? 0 : 1;
}

int Ports(Device& device) {
  long pid = 0;
  if (!RunLock::Held(device.folder(), &pid)) {
    return Fail("the device in " + device.folder() +
                " is not switched on (start it with 'velmora-device run')");
  }
  std::string listing;
  std::string error;
  ReadHostFile(RunLock::DevFolder(device.folder()) + "/.ports", &listing, &error);
  std::printf("%-38s  %-12s  %s\n", "ENDPOINT", "TERMINAL", "PORT   DRIVER");
  std::fwrite(listing.data(), 1, listing.size(), stdout);
  return 0;
}

int Run(std::vector<std::string> args) {
  std::string folder;
  if (args.size() >= 2 && args[0] == "--device") {
    folder = args[1];
    args.erase(args.begin(), args.begin() + 2);
  }
  if (args.size() == 1 && args[0] == "--version") {
    std::printf("velmora-device %s\n", BuildVersion);
    return 0;
  }
  if (args.empty() || args[0] == "--help" || args[0] == "-h") {
    std::fputs(Usage, args.empty() ? stderr : stdout);
    return args.empty() ? 2 : 0;
  }
  const std::string command = args[0];
  if (command == "init") {
    if (args.size() > 2) {
      return Fail("init takes at most one folder");
    }
    std::string target = args.size() == 2 ? args[1] : folder;
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
  if (folder.empty()) {
    folder = Device::DefaultFolder();
  }
  if (command == "reg" && args.size() == 2 && (args[1] == "check" || args[1] == "repair")) {
    return args[1] == "check" ? RunRegCheck(folder) : RunRegRepair(folder);
  }
  std::string error;
  std::unique_ptr<Device> device = Device::Open(folder, &error);
  if (!device) {
    return Fail(error);
  }
  auto wantArgs = [&](size_t count, const char* shape) {
    if (args.size() != count + 1) {
      Fail(std::string("usage: velmora-device ") + shape);
      return false;
    }
    return true;
  };
  if (command == "boot" && wantArgs(0, "boot")) {
    if (!device->devices().Boot()) {
      return Fail(device->devices().log().back());
    }
    return Active(*device);
  }
  if (command == "active" && wantArgs(0, "active")) {
    return Active(*device);
  }
  if (command == "activate" && wantArgs(1, "activate KEY")) {
    DeviceHandle handle = device->devices().ActivateDriver(FromUtf8(args[1]), 0);
    if (handle == 0) {
      return Fail(device->devices().log().back());
    }
    std::printf("%u\n", handle);
    return 0;
  }
  if (command == "deactivate" && wantArgs(1, "deactivate HANDLE")) {
    char* end = nullptr;
    unsigned long handle = std::strtoul(args[1].c_str(), &end, 10);
    if (end == args[1].c_str() || *end != 0) {
      return Fail("not a handle: " + args[1]);
    }
    if (device->devices().DeactivateDriver(static_cast<DeviceHandle>(handle)) == 0) {
      return Fail(device->devices().log().back());
    }
    return 0;
  }
  if (command == "run" && wantArgs(0, "run")) {
    return SwitchOn(*device);
  }
  if (command == "ports" && wantArgs(0, "ports")) {
    return Ports(*device);
  }
  if (command == "version" && wantArgs(1, "version PATH")) {
    return Version(*device, args[1]);
  }
  if (command == "stage-update" && wantArgs(1, "stage-update FILE")) {
    std::string bytes;
    if (!ReadHostFile(args[1], &bytes, &error)) {
      return Fail(error);
    }
    if (!device->files().WriteWholeFile(u"\\windows\\Velmora_tmp.dll", bytes)) {
      return Fail("cannot write \\windows\\Velmora_tmp.dll");
    }
    return 0;
  }
  if (command == "reg" && args.size() >= 2 && args[1] == "export" && args.size() <= 3) {
    return RunRegExport(*device, args.size() == 3 ? args[2] : "");
  }
  if (command == "reg" && args.size() == 3 && args[1] == "import") {
    return RunRegImport(*device, args[2]);
  }
  if (command == "reg" && args.size() == 3 && args[1] == "restore") {
    return RunRegRestore(*device, args[2]);
  }
  if (command == "boot" || command == "active" || command == "activate" ||
      command == "deactivate" || command == "version" || command == "stage-update" ||
      command == "run" || command == "ports") {
    return 2;
  }
  return Fail("unknown command '" + command + "' (see --help)");
}

}  // namespace
}  // namespace velmora

int main(int argc, char** argv) {
  return velmora::Run(std::vector<std::string>(argv + 1, argv + argc));
}
