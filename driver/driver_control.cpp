#include "driver/driver_control.h"

#include "driver/driver_names.h"
#include "platform/platform.h"
#include "support/field_text.h"
#include "support/scoped_key.h"
#include "support/subkey_walk.h"

namespace velmora {

bool StopDriver() {
  DeviceHandle handle = 0;
  ScopedKey active;
  if (active.Open(HKEY_LOCAL_MACHINE, u"Drivers\\Active") == StatusSuccess) {
    ForEachSubkey(active.get(), [&](std::u16string_view name) {
      ScopedKey entry;
      char16_t key[128] = {};
      if (entry.Open(active.get(), name) == StatusSuccess && entry.Read(u"Key", key, 256) &&
          FieldText(key) == DriverKeyPath) {
        entry.ReadNumber(u"Hnd", &handle);
      }
      return true;
    });
  }
  return handle != 0 && Devices().DeactivateDriver(handle) != 0;
}

bool StartDriver() {
  return Devices().ActivateDriver(DriverKeyPath, 0) != 0;
}

namespace {

bool Exists(const char16_t* path) {
  return Files().FileAttributes(path) != InvalidFileAttributes;
}

// The swap itself, in steps that each leave a DLL in place or aside.
void SwapInPendingDll() {
  PlatformFiles& files = Files();
  bool installed = Exists(InstalledDllPath);
  bool aside = Exists(AsideDllPath);
  if (!installed && aside) {
    installed = files.RenameFile(AsideDllPath, InstalledDllPath);  // a cut-short swap
  } else if (installed && aside) {
    files.RemoveFile(AsideDllPath);
  }
  if (installed && !files.RenameFile(InstalledDllPath, AsideDllPath)) {
    return;  // leave the update pending for the next start
  }
  if (!files.RenameFile(PendingDllPath, InstalledDllPath)) {
    if (installed) {
      files.RenameFile(AsideDllPath, InstalledDllPath);
    }
    return;
  }
  if (installed) {
    files.RemoveFile(AsideDllPath);
  }
}

}  // namespace

bool CompletePendingUpdate() {
  if (!Exists(PendingDllPath)) {
    return false;
  }
  bool wasRunning = StopDriver();
  SwapInPendingDll();
  if (wasRunning) {
    StartDriver();
  }
  return true;
}

}  // namespace velmora
