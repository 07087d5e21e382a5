#include "tests/test_support.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <sys/socket.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/registry/key_handle.h"
#include "platform/text.h"

namespace velmora::testing {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "velmora-test-XXXXXX").string();
  char* made = ::mkdtemp(pattern.data());
  EXPECT_NE(made, nullptr);
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string Utf16File(std::u16string_view text) {
  std::string bytes = "\xFF\xFE";
  for (char16_t c : text) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  return bytes;
}

std::string ReadFileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

void WriteFileText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

void SetBytes(PlatformRegistry& registry, std::u16string_view path, std::u16string_view name,
              uint32_t type, const std::vector<uint8_t>& data) {
  KeyHandle key(registry);
  ASSERT_EQ(key.Create(HKEY_LOCAL_MACHINE, path), StatusSuccess) << ToUtf8(path);
  EXPECT_EQ(
      registry.SetValue(key.get(), name, type, data.data(), static_cast<uint32_t>(data.size())),
      StatusSuccess);
}

void SetString(PlatformRegistry& registry, std::u16string_view path, std::u16string_view name,
               std::u16string_view value) {
  KeyHandle key(registry);
  ASSERT_EQ(key.Create(HKEY_LOCAL_MACHINE, path), StatusSuccess) << ToUtf8(path);
  EXPECT_EQ(key.WriteString(name, value), StatusSuccess);
}

void SetNumber(PlatformRegistry& registry, std::u16string_view path, std::u16string_view name,
               uint32_t value) {
  KeyHandle key(registry);
  ASSERT_EQ(key.Create(HKEY_LOCAL_MACHINE, path), StatusSuccess) << ToUtf8(path);
  EXPECT_EQ(key.WriteNumber(name, value), StatusSuccess);
}

void MakeKey(PlatformRegistry& registry, std::u16string_view path) {
  KeyHandle key(registry);
  EXPECT_EQ(key.Create(HKEY_LOCAL_MACHINE, path), StatusSuccess) << ToUtf8(path);
}

bool KeyExists(PlatformRegistry& registry, std::u16string_view path) {
  return KeyHandle(registry).Open(HKEY_LOCAL_MACHINE, path) == StatusSuccess;
}

std::string DescribeValue(PlatformRegistry& registry, std::u16string_view path,
                          std::u16string_view name) {
  HKEY key = 0;
  if (registry.OpenKey(HKEY_LOCAL_MACHINE, path, KeyAllAccess, &key) != StatusSuccess) {
    return "missing";
  }
  uint32_t type = 0;
  uint32_t size = 0;
  if (registry.QueryValue(key, name, &type, nullptr, &size) != StatusSuccess) {
    registry.CloseKey(key);
    return "missing";
  }
  std::vector<uint8_t> data(size);
  registry.QueryValue(key, name, &type, data.data(), &size);
  registry.CloseKey(key);
  std::string out = std::to_string(type) + ":" + std::to_string(size) + ":";
  if (type == RegString && size % 2 == 0) {
    std::u16string text;
    for (size_t i = 0; i + 1 < data.size(); i += 2) {
      text.push_back(static_cast<char16_t>(data[i] | data[i + 1] << 8));
    }
    while (!text.empty() && text.back() == 0) {
      text.pop_back();
    }
    return out + ToUtf8(text);
  }
  if (type == RegNumber && size == 4) {
    int32_t number = static_cast<int32_t>(data[0] | data[1] << 8 | data[2] << 16 |
                                          static_cast<uint32_t>(data[3]) << 24);
    return out + std::to_string(number);
  }
  static const char* const Digits = "0123456789abcdef";
  for (uint8_t byte : data) {
    out += Digits[byte >> 4];
    out += Digits[byte & 0xF];
  }
  return out;
}

std::string ValueData(PlatformRegistry& registry, std::u16string_view path,
                      std::u16string_view name) {
  std::string described = DescribeValue(registry, path, name);
  if (described == "missing") {
    return described;
  }
  return described.substr(described.find(':', described.find(':') + 1) + 1);
}

std::vector<std::string> ActiveEntries(PlatformRegistry& registry) {
  std::vector<std::string> entries;
  HKEY active = 0;
  if (registry.OpenKey(HKEY_LOCAL_MACHINE, u"Drivers\\Active", KeyAllAccess, &active) != 0) {
    return entries;
  }
  for (uint32_t i = 0;; ++i) {
    char16_t name[256];
    uint32_t capacity = 256;
    if (registry.EnumSubkey(active, i, name, &capacity) != StatusSuccess) {
      break;
    }
    std::u16string path = u"Drivers\\Active\\" + std::u16string(name);
    entries.push_back(ToUtf8(name) + " " + ValueData(registry, path, u"Name") + " " +
                      ValueData(registry, path, u"Hnd") + " " + ValueData(registry, path, u"Key"));
  }
  registry.CloseKey(active);
  return entries;
}

std::string ValueNames(PlatformRegistry& registry, std::u16string_view path) {
  HKEY key = 0;
  if (registry.OpenKey(HKEY_LOCAL_MACHINE, path, KeyAllAccess, &key) != StatusSuccess) {
    return "(no key)";
  }
  std::string out;
  for (uint32_t i = 0;; ++i) {
    char16_t name[256];
    uint32_t capacity = 256;
    if (registry.EnumValue(key, i, name, &capacity, nullptr, nullptr, nullptr) != StatusSuccess) {
      break;
    }
    out += (out.empty() ? "" : ",") + ToUtf8(name);
  }
  registry.CloseKey(key);
  return out;
}

std::string SubkeyNames(PlatformRegistry& registry, std::u16string_view path) {
  KeyHandle key(registry);
  if (key.Open(HKEY_LOCAL_MACHINE, path) != StatusSuccess) {
    return "(no key)";
  }
  std::string out;
  for (const std::u16string& name : key.SubkeyNames()) {
    out += (out.empty() ? "" : ",") + ToUtf8(name);
  }
  return out;
}

uint16_t FreePort() {
  UniqueFd probe(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(probe.get(), reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      ::getsockname(probe.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    return 0;
  }
  return ntohs(address.sin_port);
}

UniqueFd ConnectLoopback(uint16_t port, const char* from, std::string* shown) {
  UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  sockaddr_in local{};
  local.sin_family = AF_INET;
  ::inet_pton(AF_INET, from, &local.sin_addr);
  sockaddr_in server{};
  server.sin_family = AF_INET;
  server.sin_port = htons(port);
  server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof local;
  if (::bind(fd.get(), reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
      ::connect(fd.get(), reinterpret_cast<sockaddr*>(&server), sizeof server) != 0 ||
      ::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&local), &length) != 0) {
    return UniqueFd();
  }
  if (shown != nullptr) {
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &local.sin_addr, text, sizeof text);
    *shown = std::string(text) + ":" + std::to_string(ntohs(local.sin_port));
  }
  ::fcntl(fd.get(), F_SETFL, O_NONBLOCK);  // as the fixture's readers expect
  return fd;
}

}  // namespace velmora::testing
