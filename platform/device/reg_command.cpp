#include "platform/device/reg_command.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/device/device.h"
#include "platform/host_io.h"
#include "platform/registry/registry_limits.h"

namespace velmora {

namespace {

int Fail(const std::string& message) {
  std::fprintf(stderr, "velmora-device: %s\n", message.c_str());
  return 1;
}

bool IsStandardInput(const std::string& file) {
  return file == StandardStreamName || file == "/dev/stdin";
}

}  // namespace

bool ReadRegInput(const std::string& file, std::string* text, std::string* name,
                  std::string* error) {
  if (!IsStandardInput(file)) {
    *name = file;
    return ReadRegularFile(file, MaxRegFileSize, text, error);
  }
  *name = "standard input";
  // ReadDescriptor stops one byte past the limit, so a endless stream such
  // as /dev/zero costs at most the limit.
  if (!ReadDescriptor(STDIN_FILENO, MaxRegFileSize, text)) {
    *error = std::string("cannot read standard input: ") + std::strerror(errno);
    return false;
  }
  if (text->size() > MaxRegFileSize) {
    text->clear();
    *error = "standard input is larger than " + std::to_string(MaxRegFileSize >> 20) + " MiB";
    return false;
  }
  return true;
}

int RunRegExport(Device& device, const std::string& file) {
  std::string text = device.registry().ExportText();
  if (file.empty() || file == StandardStreamName) {
    // What stays in the buffer is checked when the tool flushes it.
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size()) {
      return Fail(std::string("cannot write standard output: ") + std::strerror(errno));
    }
    return 0;
  }
  std::string error;
  return WriteHostFileAtomically(file, text, &error) ? 0 : Fail(error);
}

int RunRegImport(Device& device, const std::string& file) {
  std::string text;
  std::string name;
  std::string error;
  if (!ReadRegInput(file, &text, &name, &error)) {
    return Fail(error);
  }
  return device.registry().ImportText(text, &error) ? 0 : Fail(name + ": " + error);
}

}  // namespace velmora
