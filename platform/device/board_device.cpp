#include "platform/device/board_device.h"

#include <cstdio>

#include "platform/device/sample_device.h"
#include "platform/registry/bsp_reg.h"
#include "platform/registry/hive.h"
#include "platform/registry/key_handle.h"
#include "platform/text.h"

namespace velmora {

namespace {

constexpr char16_t BuiltInKey[] = u"Drivers\\BuiltIn";
constexpr char16_t WindowsFolder[] = u"\\windows\\";

void Warn(const std::string& line) {
  std::fprintf(stderr, "velmora-device: warning: %s\n", line.c_str());
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "velmora-device: %s\n", message.c_str());
  return 1;
}

// Reads the files and checks that the registry takes their text, before
// anything is changed.
bool Translate(const std::vector<std::string>& files, const BspOptions& options,
               BspTranslation* translation, std::string* error) {
  if (!TranslateBspFiles(files, options, translation, error)) {
    return false;
  }
  Hive scratch;
  std::string why;
  if (!scratch.ImportText(translation->text(), &why)) {
    *error = translation->Explain(why);
    return false;
  }
  return true;
}

// The device path of a driver's "Dll" in \windows, or "" when it names
// another folder.
std::u16string WindowsPath(const std::u16string& dll) {
  std::u16string name = dll;
  if (!name.empty() && name.front() == u'\\') {
    std::u16string_view folder(WindowsFolder);
    if (name.size() <= folder.size() ||
        !EqualsIgnoringCase(std::u16string_view(name).substr(0, folder.size()), folder)) {
      return u"";
    }
    name = name.substr(folder.size());
  }
  if (name.empty() || name.find(u'\\') != std::u16string::npos) {
    return u"";
  }
  return WindowsFolder + name;
}

// A stand-in in \windows for each DLL that a driver key names and the
// device lacks.
bool PlaceStandIns(Device& device, BoardDeviceReport* report, std::string* error) {
  KeyHandle builtIn(device.registry());
  if (builtIn.Open(HKEY_LOCAL_MACHINE, BuiltInKey) != StatusSuccess) {
    return true;
  }
  for (const std::u16string& name : builtIn.SubkeyNames()) {
    KeyHandle driver(device.registry());
    std::u16string dll;
    if (driver.Open(builtIn.get(), name) != StatusSuccess || !driver.ReadString(u"Dll", &dll) ||
        dll.empty()) {
      continue;
    }
    std::u16string path = WindowsPath(dll);
    if (path.empty()) {
      report->warnings.push_back("Drivers\\BuiltIn\\" + ToUtf8(name) + ": no stand-in for \"" +
                                 ToUtf8(dll) + "\", which is not in \\windows");
      continue;
    }
    if (device.files().FileAttributes(path) != InvalidFileAttributes) {
      continue;
    }
    if (!device.files().WriteWholeFile(
            path,
            StandInDll(u"Stand-in for the board's " + path.substr(9), u"1.0.0.0", 1, 0, 0, 0))) {
      *error = "cannot write the stand-in " + ToUtf8(path);
      return false;
    }
    report->standIns.push_back(ToUtf8(path));
  }
  return true;
}

// The names of the running devices, each after a blank.
std::string RunningNames(Device& device) {
  KeyHandle active(device.registry());
  std::string names;
  if (active.Open(HKEY_LOCAL_MACHINE, u"Drivers\\Active") != StatusSuccess) {
    return names;
  }
  for (const std::u16string& entry : active.SubkeyNames()) {
    KeyHandle key(device.registry());
    std::u16string name;
    if (key.Open(active.get(), entry) == StatusSuccess && key.ReadString(u"Name", &name)) {
      names += " " + ToUtf8(name);
    }
  }
  return names;
}

}  // namespace

bool CreateBoardDevice(const BoardInitOptions& options, BoardDeviceReport* report,
                       std::string* error) {
  if (options.from.empty()) {
    *error = "init: -D, -I, --strings and --skip-missing-includes go with --from FILE";
    return false;
  }
  BspTranslation translation;
  if (!Translate(options.from, options.bsp, &translation, error)) {
    return false;
  }
  report->warnings = translation.warnings();
  return Device::Create(
      options.folder,
      [&](Device& device, std::string* why) {
        if (!WriteDeviceManagerKeys(device.registry(), why) ||
            !WriteSampleFiles(device.files(), why)) {
          return false;
        }
        std::string importError;
        if (!device.registry().ImportText(translation.text(), &importError)) {
          *why = translation.Explain(importError);
          return false;
        }
        return PlaceStandIns(device, report, why);
      },
      error);
}

int RunBoardInit(const BoardInitOptions& options) {
  BoardDeviceReport report;
  std::string error;
  bool made = CreateBoardDevice(options, &report, &error);
  for (const std::string& warning : report.warnings) {
    Warn(warning);
  }
  if (!made) {
    return Fail(error);
  }
  for (const std::string& path : report.standIns) {
    std::printf("placed a stand-in for the board's %s\n", path.c_str());
  }
  std::printf("created the device of the board's registry in %s\n", options.folder.c_str());
  std::unique_ptr<Device> device = Device::Open(options.folder, &error);
  std::string names = device ? RunningNames(*device) : "";
  std::printf("running:%s\n", names.empty() ? " nothing" : names.c_str());
  return 0;
}

int RunBspImport(Device& device, const std::string& file, const BspOptions& options) {
  BspTranslation translation;
  std::string error;
  bool ok = TranslateBspFiles({file}, options, &translation, &error);
  for (const std::string& warning : translation.warnings()) {
    Warn(warning);
  }
  if (!ok) {
    return Fail(error);
  }
  if (!device.registry().ImportText(translation.text(), &error)) {
    return Fail(translation.Explain(error));
  }
  return 0;
}

}  // namespace velmora
