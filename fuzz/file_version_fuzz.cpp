// Any bytes as a DLL on the device, read the way the program reads its
// caption's version: FileVersionString over the device's files and version
// resources, from the whole PE image through the version lookup to the
// final text. No crash, no read outside the version block (it is copied to
// a buffer of exactly its size), and the text never holds a zero.
#include <stdlib.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "platform/files/device_files.h"
#include "platform/platform.h"
#include "platform/version/pe_version_resources.h"
#include "support/file_version_string.h"

namespace {

// In memory where the host offers it: every input is written as a file.
std::string MakeDeviceFolder() {
  struct stat info {};
  std::string base = ::stat("/dev/shm", &info) == 0 && S_ISDIR(info.st_mode) ? "/dev/shm" : "/tmp";
  std::string pattern = base + "/velmora-fuzz-XXXXXX";
  return ::mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
}

// A device with an empty \windows, made once per fuzzing process.
struct FuzzDevice {
  FuzzDevice() {
    ::mkdir(root.c_str(), 0755);
    ::mkdir((root + "/windows").c_str(), 0755);
    services.files = &files;
    services.versions = &versions;
  }
  ~FuzzDevice() {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }
  std::string folder = MakeDeviceFolder();
  std::string root = folder + "/root";
  velmora::DeviceFiles files{root};
  velmora::PeVersionResources versions{files};
  velmora::PlatformServices services;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FuzzDevice device;
  if (device.folder.empty()) {
    std::abort();
  }
  FILE* file = std::fopen((device.root + "/windows/velmora.dll").c_str(), "wb");
  if (file == nullptr || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0) {
    std::abort();
  }
  velmora::ScopedPlatform platform(device.services);
  std::u16string text = velmora::FileVersionString(u"\\windows\\velmora.dll");
  if (text.find(u'\0') != std::u16string::npos || text.size() > size / 2) {
    std::abort();
  }
  return 0;
}
