#include "platform/registry/bsp_source.h"

#include <dirent.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <memory>

#include "platform/host_io.h"
#include "platform/registry/bsp_syntax.h"
#include "platform/registry/registry_limits.h"
#include "platform/text.h"

namespace velmora {

namespace {

// Windows-1252 at 0x80 to 0x9F; the five unassigned bytes keep their
// Latin-1 control characters.
constexpr char16_t Cp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

constexpr char EndOfFileMark = 0x1A;

// Anything but a folder: what is not a regular file is refused when read,
// with a clear error.
bool IsFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};

// The entry of folder whose name is name ignoring ASCII case: the first in
// byte order, as the device's files choose.
bool FindIgnoringCase(const std::string& folder, std::string_view name, std::string* entry) {
  std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.empty() ? "." : folder.c_str()));
  if (!dir) {
    return false;
  }
  entry->clear();
  while (const dirent* item = ::readdir(dir.get())) {
    std::string_view candidate(item->d_name);
    if (BspSameIgnoringCase(candidate, name) && (entry->empty() || candidate < *entry)) {
      entry->assign(candidate);
    }
  }
  return !entry->empty();
}

// path (normalized) on the host, each component matched ignoring case
// where the exact one is missing.
bool ResolveIgnoringCase(const std::string& path, std::string* resolved) {
  std::string current = path.front() == '/' ? "/" : "";
  size_t start = path.front() == '/' ? 1 : 0;
  while (start < path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) {
      end = path.size();
    }
    std::string_view part(path.data() + start, end - start);
    std::string next = current + std::string(part);
    if (::access(next.c_str(), F_OK) != 0) {
      std::string entry;
      if (part == ".." || !FindIgnoringCase(current.empty() ? "." : current, part, &entry)) {
        return false;
      }
      next = current + entry;
    }
    current = end == path.size() ? next : next + "/";
    start = end + 1;
  }
  *resolved = current;
  return true;
}

}  // namespace

std::string DecodeBspText(std::string_view bytes) {
  std::string text;
  if (bytes.size() >= 2 && static_cast<uint8_t>(bytes[0]) == 0xFF &&
      static_cast<uint8_t>(bytes[1]) == 0xFE) {
    std::u16string units;
    units.reserve(bytes.size() / 2);
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
      units.push_back(static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) |
                                            static_cast<uint8_t>(bytes[i + 1]) << 8));
    }
    text = ToUtf8(units);
  } else {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
      bytes.remove_prefix(3);
    }
    text.assign(bytes);
  }
  size_t end = text.find(EndOfFileMark);
  if (end != std::string::npos) {
    text.resize(end);
  }
  bool valid = true;
  FromUtf8(text, &valid);
  if (valid) {
    return text;
  }
  std::u16string units;
  units.reserve(text.size());
  for (char c : text) {
    auto b = static_cast<uint8_t>(c);
    units.push_back(b >= 0x80 && b < 0xA0 ? Cp1252High[b - 0x80] : static_cast<char16_t>(b));
  }
  return ToUtf8(units);
}

std::string NormalizeBspPath(std::string_view path) {
  std::string unified(path);
  for (char& c : unified) {
    if (c == '\\') {
      c = '/';
    }
  }
  bool absolute = !unified.empty() && unified.front() == '/';
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= unified.size()) {
    size_t end = unified.find('/', start);
    if (end == std::string::npos) {
      end = unified.size();
    }
    std::string part = unified.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty() && parts.back() != "..") {
        parts.pop_back();
      } else if (!absolute) {
        parts.push_back(part);
      }
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::string result = absolute ? "/" : "";
  for (size_t i = 0; i < parts.size(); ++i) {
    result += (i == 0 ? "" : "/") + parts[i];
  }
  return result.empty() ? "." : result;
}

bool FindBspFile(const std::string& path, const BspOptions& options, std::string* found,
                 std::string* key) {
  std::string normal = NormalizeBspPath(path);
  if (options.memoryFiles != nullptr) {
    if (options.memoryFiles->count(normal) == 0) {
      return false;
    }
    *found = normal;
    *key = normal;
    return true;
  }
  std::string host = normal;
  if (!IsFile(host) && !(ResolveIgnoringCase(normal, &host) && IsFile(host))) {
    return false;
  }
  char real[PATH_MAX];
  *found = host;
  *key = ::realpath(host.c_str(), real) != nullptr ? std::string(real) : host;
  return true;
}

bool ReadBspFile(const std::string& found, const BspOptions& options, std::string* text,
                 std::string* error) {
  if (options.memoryFiles != nullptr) {
    auto file = options.memoryFiles->find(found);
    if (file == options.memoryFiles->end()) {
      *error = "cannot read '" + found + "'";
      return false;
    }
    if (file->second.size() > MaxRegFileSize) {
      *error = "'" + found + "' is larger than " + std::to_string(MaxRegFileSize) + " bytes";
      return false;
    }
    *text = DecodeBspText(file->second);
    return true;
  }
  std::string bytes;
  if (!ReadRegularFile(found, MaxRegFileSize, &bytes, error)) {
    return false;
  }
  *text = DecodeBspText(bytes);
  return true;
}

}  // namespace velmora
