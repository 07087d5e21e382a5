// The sample handheld: what a Pocket PC's registry and \windows hold after
// a boot, with the Velmora driver's DLL present but not installed.
//
// Built-in drivers (below Drivers\BuiltIn):
//   Serial   COM1  "Serial Cable on COM1:"            serial.dll   Order 0
//   IrDA     COM2  "Infrared Port on COM2:"           irsir.dll    Order 1
//   GPS      COM4  "GPS Receiver on COM4:"            gpsdrv.dll   Order 2
//   BTSerial COM7  "Bluetooth Serial Port on COM7:"   btserial.dll Order 3
//            (its FriendlyName lives in the subkey "Config")
//   Battery  BAT1, Audio WAV1, Touch TCH1: devices that are not ports.
// Files: the DLLs above in \windows, Velmora.dll (FileVersion "2.1.0.4"),
// "\My Documents" with a few entries, "\Program Files", "\Temp".
#pragma once

#include <string>

#include "platform/files/device_files.h"
#include "platform/registry.h"

namespace velmora {

bool WriteSampleDevice(PlatformRegistry& registry, DeviceFiles& files, std::string* error);

// The parts: the keys the device manager itself needs ("Drivers\Active",
// "Drivers\BuiltIn"), the sample's drivers, and its file system.
bool WriteDeviceManagerKeys(PlatformRegistry& registry, std::string* error);
bool WriteSampleDrivers(PlatformRegistry& registry, std::string* error);
bool WriteSampleFiles(DeviceFiles& files, std::string* error);

// A small DLL image with a version resource: FileVersion, FileDescription.
std::string StandInDll(std::u16string_view description, const std::u16string& version,
                       uint16_t major, uint16_t minor, uint16_t build, uint16_t revision);

inline constexpr char16_t SampleDriverVersion[] = u"2.1.0.4";

}  // namespace velmora
