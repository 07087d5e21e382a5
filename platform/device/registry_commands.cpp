#include "platform/device/registry_commands.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "platform/device/device.h"
#include "platform/host_io.h"
#include "platform/registry/legacy_migration.h"
#include "platform/registry/reg_writer.h"
#include "platform/registry/registry_limits.h"
#include "platform/registry/store_check.h"
#include "platform/registry/store_text.h"
#include "platform/unique_fd.h"

namespace velmora {

namespace {

int Fail(const std::string& message) {
  std::fprintf(stderr, "velmora-device: %s\n", message.c_str());
  return 1;
}

bool Exists(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

// Opens a .reg file to read ("-" and "/dev/stdin": standard input, a pipe
// too); -1 and *error when not. Files named otherwise are regular files of
// at most MaxRegFileSize bytes, refused before anything is read.
UniqueFd OpenInput(const std::string& file, std::string* error) {
  if (file == "-" || file == "/dev/stdin") {
    return UniqueFd(::dup(STDIN_FILENO));
  }
  UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!fd) {
    *error = "cannot read '" + file + "': " + std::strerror(errno);
    return fd;
  }
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
    *error = "'" + file + "' is not a regular file";
  } else if (static_cast<uint64_t>(info.st_size) > MaxRegFileSize) {
    *error = "'" + file + "' is larger than " + std::to_string(MaxRegFileSize >> 20) + " MiB";
  } else {
    return fd;
  }
  return UniqueFd();
}

std::string DisplayName(const std::string& file) {
  return file == "-" ? "standard input" : file;
}

int Import(Device& device, const std::string& file, const ImportOptions& options,
           ImportResult* result) {
  std::string error;
  UniqueFd fd = OpenInput(file, &error);
  if (!fd) {
    return Fail(error.empty() ? "cannot read '" + file + "': " + std::strerror(errno) : error);
  }
  bool ok = ImportRegStream(device.registry(), ReadFromDescriptor(fd.get(), MaxRegFileSize),
                            options, result, &error);
  return ok ? 0 : Fail(DisplayName(file) + ": " + error);
}

}  // namespace

int RunRegExport(Device& device, const std::string& file) {
  std::string error;
  if (file.empty() || file == "-") {
    bool ok = device.registry().Export(
        [](std::string_view piece) { return WriteAll(STDOUT_FILENO, piece); }, &error);
    if (!ok) {
      return Fail(error.empty() || error == "cannot write the export"
                      ? std::string("cannot write standard output: ") + std::strerror(errno)
                      : error);
    }
    return 0;
  }
  // Beside the file, then put in its place whole.
  std::string temporary = file + ".tmp." + std::to_string(::getpid());
  int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    return Fail("cannot write '" + file + "': " + std::strerror(errno));
  }
  int written = 0;
  bool ok = device.registry().Export(
      [&](std::string_view piece) {
        bool done = WriteAll(fd, piece);
        written = done ? 0 : errno;
        return done;
      },
      &error);
  if (ok && ::fsync(fd) != 0) {
    written = errno;
    ok = false;
  }
  ::close(fd);
  if (ok && ::rename(temporary.c_str(), file.c_str()) != 0) {
    written = errno;
    ok = false;
  }
  if (!ok) {
    ::unlink(temporary.c_str());
    return Fail(written != 0 ? "cannot write '" + file + "': " + std::strerror(written) : error);
  }
  return 0;
}

int RunRegImport(Device& device, const std::string& file) {
  ImportOptions options;
  options.keepActive = true;
  ImportResult result;
  int code = Import(device, file, options, &result);
  if (code == 0 && result.skippedActive) {
    std::fprintf(stderr,
                 "velmora-device: %s: skipped \"Drivers\\Active\": it is the device's running "
                 "state, not configuration (reg restore replaces it by booting)\n",
                 DisplayName(file).c_str());
  }
  return code;
}

int RunRegRestore(Device& device, const std::string& file) {
  // The saved running devices come in too, in their place; the boot in the
  // same change replaces them by what it starts, so no state between is
  // ever seen.
  ImportOptions options;
  options.replace = true;
  options.then = [&] { return device.devices().Boot() ? StatusSuccess : StatusRegistryIoFailed; };
  ImportResult result;
  return Import(device, file, options, &result);
}

int RunRegCheck(const std::string& folder) {
  std::string store = Device::StorePath(folder);
  if (!Exists(store)) {
    // A folder of an older version: its text files, read as a migration would.
    KeyNode root;
    std::string error;
    if (!Exists(folder + "/registry.reg")) {
      return Fail("'" + folder + "' holds no registry");
    }
    if (!ReadTextRegistry(folder + "/registry.reg", root, &error)) {
      return Fail(error);
    }
    std::printf("%s/registry.reg: whole\n", folder.c_str());
    return 0;
  }
  StoreReport report = CheckStore(store, nullptr);
  for (const std::string& line : report.damage) {
    std::fprintf(stderr, "velmora-device: %s\n", line.c_str());
  }
  if (!report.damage.empty()) {
    return 1;
  }
  std::printf("%s: whole (%zu keys, %zu values)\n", store.c_str(), report.keys, report.values);
  return 0;
}

int RunRegRepair(const std::string& folder) {
  std::string store = Device::StorePath(folder);
  if (!Exists(store) && Exists(folder + "/registry.reg")) {
    // A folder of an older version whose files cannot be migrated: migrate
    // what can be read; the old files stay as *.migrated.
    bool migrated = false;
    std::string error;
    std::string lost;
    if (!MigrateTextRegistry(folder, &migrated, &error, &lost)) {
      return Fail(error);
    }
    std::printf("%s: made from %s/registry.reg; the old files are kept as *.migrated\n",
                store.c_str(), folder.c_str());
    std::printf(lost.empty() ? "nothing was lost\n" : "lost: %s\n", lost.c_str());
    return 0;
  }
  if (!Exists(store)) {
    return Fail("'" + store + "' does not exist: nothing to repair");
  }
  KeyNode root;
  StoreReport report = CheckStore(store, &root);
  if (!report.opened) {
    return Fail(report.damage.front() +
                ": nothing can be read from it; restore an export with 'reg restore'");
  }
  if (report.damage.empty() && !Exists(LmdbRegistry::DamageNotePath(store))) {
    std::printf("%s: whole, nothing to repair\n", store.c_str());
    return 0;
  }
  // The new store is made beside the old one, then takes its place.
  std::string fresh = store + ".new";
  ::unlink(fresh.c_str());
  ::unlink((fresh + "-lock").c_str());
  std::string error;
  {
    std::unique_ptr<LmdbRegistry> registry = LmdbRegistry::Open(fresh, true, &error);
    if (!registry) {
      return Fail(error);
    }
    std::string text = FormatRegText(root);
    auto read = [&](std::string* out, bool* eof, std::string*) {
      out->swap(text);
      *eof = true;
      return true;
    };
    ImportOptions options;
    options.then = [&] {
      uint32_t taken = 0;
      Status status = StatusSuccess;
      if (report.nextHandle != 0) {
        status =
            registry->NextNumber("next-handle", static_cast<uint32_t>(report.nextHandle), &taken);
      }
      if (status == StatusSuccess && report.nextEntry != 0) {
        status =
            registry->NextNumber("next-entry", static_cast<uint32_t>(report.nextEntry), &taken);
      }
      return status;
    };
    ImportResult result;
    if (!ImportRegStream(*registry, read, options, &result, &error)) {
      return Fail(fresh + ": " + error);
    }
  }
  char stamp[32];
  std::time_t now = std::time(nullptr);
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", std::gmtime(&now));
  std::string copy = store + ".damaged-" + stamp;
  if (::rename(store.c_str(), copy.c_str()) != 0 || ::rename(fresh.c_str(), store.c_str()) != 0) {
    return Fail("cannot put the repaired store in place of '" + store +
                "': " + std::strerror(errno));
  }
  ::unlink((store + "-lock").c_str());
  ::unlink((fresh + "-lock").c_str());
  ::unlink(LmdbRegistry::DamageNotePath(store).c_str());
  std::printf("%s: repaired; the damaged store is kept as %s\n", store.c_str(), copy.c_str());
  if (report.damage.empty()) {
    std::printf("nothing was lost\n");
  }
  for (const std::string& line : report.damage) {
    std::printf("lost: %s\n", line.c_str());
  }
  return 0;
}

}  // namespace velmora
