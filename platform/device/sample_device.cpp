#include "platform/device/sample_device.h"

#include <vector>

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

class Writer {
 public:
  explicit Writer(PlatformRegistry& registry) : registry_(registry) {}

  bool Open(std::u16string_view path) {
    Close();
    return registry_.CreateKey(HKEY_LOCAL_MACHINE, path, KeyAllAccess, &key_) == StatusSuccess;
  }
  ~Writer() { Close(); }
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;

  bool String(std::u16string_view name, std::u16string_view text) {
    std::vector<uint8_t> data;
    for (char16_t c : text) {
      data.push_back(static_cast<uint8_t>(c & 0xFF));
      data.push_back(static_cast<uint8_t>(c >> 8));
    }
    data.insert(data.end(), {0, 0});
    return registry_.SetValue(key_, name, RegString, data.data(),
                              static_cast<uint32_t>(data.size())) == StatusSuccess;
  }

  bool Number(std::u16string_view name, uint32_t value) {
    uint8_t data[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                       static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    return registry_.SetValue(key_, name, RegNumber, data, 4) == StatusSuccess;
  }

 private:
  void Close() {
    if (key_ != 0) {
      registry_.CloseKey(key_);
      key_ = 0;
    }
  }
  PlatformRegistry& registry_;
  HKEY key_ = 0;
};

std::string Dll(std::u16string_view description, const std::u16string& version, uint16_t major,
                uint16_t minor, uint16_t build, uint16_t revision) {
  VersionSpec spec;
  spec.fileVersionText = version;
  spec.fileVersion[0] = major;
  spec.fileVersion[1] = minor;
  spec.fileVersion[2] = build;
  spec.fileVersion[3] = revision;
  spec.otherStrings = {{u"FileDescription", std::u16string(description)},
                       {u"CompanyName", u"Velmora Devices"}};
  return BuildPeImage(BuildVersionBlock(spec));
}

}  // namespace

bool WriteSampleDevice(PlatformRegistry& registry, DeviceFiles& files, std::string* error) {
  Writer writer(registry);
  bool ok = writer.Open(u"Drivers\\Active");
  for (const Driver& driver : SampleDrivers) {
    std::u16string path = std::u16string(u"Drivers\\BuiltIn\\") + driver.key;
    ok = ok && writer.Open(path) && writer.String(u"Prefix", driver.prefix) &&
         writer.String(u"Dll", driver.dll) && writer.Number(u"Index", driver.index) &&
         writer.Number(u"Order", driver.order);
    if (driver.nameInSubkey) {
      ok = ok && writer.Open(path + u"\\Config") &&
           writer.String(u"FriendlyName", driver.friendlyName);
    } else {
      ok = ok && writer.String(u"FriendlyName", driver.friendlyName);
    }
  }
  ok = ok && writer.Open(u"Drivers\\BuiltIn\\Serial\\Settings") && writer.Number(u"BaudRate", 9600);
  if (!ok) {
    *error = "cannot write the sample registry";
    return false;
  }
  for (const char16_t* folder :
       {u"\\windows", u"\\My Documents", u"\\My Documents\\Templates", u"\\My Documents\\Personal",
        u"\\Program Files", u"\\Program Files\\Velmora", u"\\Temp"}) {
    ok = ok && files.MakeDirectory(folder);
  }
  for (const Driver& driver : SampleDrivers) {
    ok = ok && files.WriteWholeFile(std::u16string(u"\\windows\\") + driver.dll,
                                    Dll(driver.friendlyName, u"5.0.1.0", 5, 0, 1, 0));
  }
  ok = ok &&
       files.WriteWholeFile(u"\\windows\\Velmora.dll", Dll(u"Velmora Virual Serial Splitter",
                                                           SampleDriverVersion, 2, 1, 0, 4)) &&
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
