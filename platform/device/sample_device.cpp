#include "platform/device/sample_device.h"

#include <vector>

#include "platform/registry/key_handle.h"
#include "platform/text.h"
#include "platform/version/pe_image.h"

namespace velmora {

namespace {

struct Driver {
  const char16_t* key;
  const char16_t* prefix;
  uint32_t index;
  const char16_t* dll;
  uint32_t order;
  const char16_t* friendlyName;
  bool nameInSubkey;
};

const Driver SampleDrivers[] = {
    {u"Battery", u"BAT", 1, u"battdrvr.dll", 0, u"Battery Driver", false},
    {u"Serial", u"COM", 1, u"serial.dll", 0, u"Serial Cable on COM1:", false},
    {u"IrDA", u"COM", 2, u"irsir.dll", 1, u"Infrared Port on COM2:", false},
    {u"GPS", u"COM", 4, u"gpsdrv.dll", 2, u"GPS Receiver on COM4:", false},
    {u"BTSerial", u"COM", 7, u"btserial.dll", 3, u"Bluetooth Serial Port on COM7:", true},
    {u"Audio", u"WAV", 1, u"wavedev.dll", 4, u"Audio Driver", false},
    {u"Touch", u"TCH", 1, u"touch.dll", 5, u"Touch Panel", false},
};

}  // namespace

std::string StandInDll(std::u16string_view description, const std::u16string& version,
                       uint16_t major, uint16_t minor, uint16_t build, uint16_t revision) {
  VersionSpec layout;
  layout.fileVersionText = version;
  layout.fileVersion[0] = major;
  layout.fileVersion[1] = minor;
  layout.fileVersion[2] = build;
  layout.fileVersion[3] = revision;
  layout.otherStrings = {{u"FileDescription", std::u16string(description)},
                         {u"CompanyName", u"Velmora Devices"}};
  return BuildPeImage(BuildVersionBlock(layout));
}

bool WriteSampleDevice(PlatformRegistry& registry, DeviceFiles& files, std::string* error) {
  return WriteDeviceManagerKeys(registry, error) && WriteSampleDrivers(registry, error) &&
         WriteSampleFiles(files, error);
}

bool WriteDeviceManagerKeys(PlatformRegistry& registry, std::string* error) {
  KeyHandle key(registry);
  if (key.Create(HKEY_LOCAL_MACHINE, u"Drivers\\Active") != StatusSuccess ||
      key.Create(HKEY_LOCAL_MACHINE, u"Drivers\\BuiltIn") != StatusSuccess) {
    *error = "cannot write the device manager's keys";
    return false;
  }
  return true;
}

bool WriteSampleDrivers(PlatformRegistry& registry, std::string* error) {
  KeyHandle key(registry);
  auto open = [&](std::u16string_view path) {
    return key.Create(HKEY_LOCAL_MACHINE, path) == StatusSuccess;
  };
  auto text = [&](std::u16string_view name, std::u16string_view value) {
    return key.WriteString(name, value) == StatusSuccess;
  };
  auto number = [&](std::u16string_view name, uint32_t value) {
    return key.WriteNumber(name, value) == StatusSuccess;
  };
  bool ok = true;
  for (const Driver& driver : SampleDrivers) {
    std::u16string path = std::u16string(u"Drivers\\BuiltIn\\") + driver.key;
    ok = ok && open(path) && text(u"Prefix", driver.prefix) && text(u"Dll", driver.dll) &&
         number(u"Index", driver.index) && number(u"Order", driver.order);
    if (driver.nameInSubkey) {
      ok = ok && open(path + u"\\Config");
    }
    ok = ok && text(u"FriendlyName", driver.friendlyName);
  }
  ok = ok && open(u"Drivers\\BuiltIn\\Serial\\Settings") && number(u"BaudRate", 9600);
  if (!ok) {
    *error = "cannot write the sample registry";
  }
  return ok;
}

bool WriteSampleFiles(DeviceFiles& files, std::string* error) {
  bool ok = true;
  for (const char16_t* folder :
       {u"\\windows", u"\\My Documents", u"\\My Documents\\Templates", u"\\My Documents\\Personal",
        u"\\Program Files", u"\\Program Files\\Velmora", u"\\Temp"}) {
    ok = ok && files.MakeDirectory(folder);
  }
  for (const Driver& driver : SampleDrivers) {
    ok = ok && files.WriteWholeFile(std::u16string(u"\\windows\\") + driver.dll,
                                    StandInDll(driver.friendlyName, u"5.0.1.0", 5, 0, 1, 0));
  }
  ok = ok &&
       files.WriteWholeFile(
           u"\\windows\\Velmora.dll",
           StandInDll(u"Velmora Virual Serial Splitter", SampleDriverVersion, 2, 1, 0, 4)) &&
       files.WriteWholeFile(u"\\My Documents\\Notes.txt", "Remember the GPS port.\n") &&
       files.WriteWholeFile(u"\\My Documents\\Track.log", "") &&
       files.WriteWholeFile(u"\\Program Files\\Velmora\\VelmoraCfg.exe",
                            BuildPeImage(std::string()));
  if (!ok) {
    *error = "cannot write the sample files";
  }
  return ok;
}

}  // namespace velmora
