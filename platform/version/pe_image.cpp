#include "platform/version/pe_image.h"

#include <cstdio>

namespace velmora {

namespace {

void Put16(std::string& out, size_t at, uint32_t value) {
  out[at] = static_cast<char>(value & 0xFF);
  out[at + 1] = static_cast<char>((value >> 8) & 0xFF);
}

void Put32(std::string& out, size_t at, uint32_t value) {
  Put16(out, at, value & 0xFFFF);
  Put16(out, at + 2, value >> 16);
}

void Append16(std::string& out, uint32_t value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

void Append32(std::string& out, uint32_t value) {
  Append16(out, value & 0xFFFF);
  Append16(out, value >> 16);
}

void Pad4(std::string& out) {
  while (out.size() % 4 != 0) {
    out.push_back(0);
  }
}

// One node of a version block: header, key, value, children.
std::string VersionNode(std::u16string_view key, uint16_t type, const std::string& value,
                        uint16_t valueLength, const std::string& children) {
  std::string node(6, '\0');
  for (char16_t c : key) {
    Append16(node, c);
  }
  Append16(node, 0);
  Pad4(node);
  node += value;
  if (!children.empty()) {
    Pad4(node);
    node += children;
  }
  Put16(node, 0, static_cast<uint32_t>(node.size()));
  Put16(node, 2, valueLength);
  Put16(node, 4, type);
  return node;
}

// A string-table entry. By default a text value with its terminator and its
// length in characters; type, statedLength and terminated craft others.
std::string TextNode(std::u16string_view key, std::u16string_view text, uint16_t type = 1,
                     int32_t statedLength = -1, bool terminated = true) {
  std::string value;
  for (char16_t c : text) {
    Append16(value, c);
  }
  if (terminated) {
    Append16(value, 0);
  }
  uint32_t length =
      type == 1 ? static_cast<uint32_t>(value.size() / 2) : static_cast<uint32_t>(value.size());
  if (statedLength >= 0) {
    length = static_cast<uint32_t>(statedLength);
  }
  std::string node = VersionNode(key, type, value, static_cast<uint16_t>(length), "");
  Pad4(node);
  return node;
}

}  // namespace

std::string BuildVersionBlock(const VersionSpec& layout) {
  std::string fixed;
  Append32(fixed, 0xFEEF04BD);
  Append32(fixed, 0x00010000);
  uint32_t ms = static_cast<uint32_t>(layout.fileVersion[0]) << 16 | layout.fileVersion[1];
  uint32_t ls = static_cast<uint32_t>(layout.fileVersion[2]) << 16 | layout.fileVersion[3];
  for (uint32_t word : {ms, ls, ms, ls, 0x3Fu, 0u, 0x00040000u, 2u, 0u, 0u, 0u}) {
    Append32(fixed, word);
  }
  char tableName[16];
  std::snprintf(tableName, sizeof tableName, "%04x%04x", layout.language, layout.codePage);
  std::u16string table(tableName, tableName + 8);
  std::string strings;
  for (const auto& [key, text] : layout.otherStrings) {
    strings += TextNode(key, text);
  }
  // Last, so that a crafted value that is read too far leaves the block.
  strings += TextNode(u"FileVersion", layout.fileVersionText, layout.fileVersionType,
                      layout.fileVersionStatedLength, layout.fileVersionTerminated);
  std::string children =
      VersionNode(u"StringFileInfo", 1, "", 0, VersionNode(table, 1, "", 0, strings));
  if (layout.translationTable) {
    Pad4(children);
    std::string translation;
    Append16(translation, layout.language);
    Append16(translation, layout.codePage);
    children +=
        VersionNode(u"VarFileInfo", 1, "", 0, VersionNode(u"Translation", 0, translation, 4, ""));
  }
  return VersionNode(u"VS_VERSION_INFO", 0, fixed, static_cast<uint16_t>(fixed.size()), children);
}

std::string BuildPeImage(const std::string& versionBlock, bool pe32Plus) {
  const uint32_t fileAlign = 0x200;
  const uint32_t sectionRva = 0x1000;
  const uint32_t optionalSize = pe32Plus ? 240 : 224;
  std::string image(0x200, '\0');
  Put16(image, 0, 0x5A4D);
  Put32(image, 0x3C, 0x40);
  Put32(image, 0x40, 0x00004550);
  size_t coff = 0x44;
  Put16(image, coff, 0x01C0);  // ARM
  Put16(image, coff + 2, versionBlock.empty() ? 0 : 1);
  Put16(image, coff + 16, optionalSize);
  Put16(image, coff + 18, 0x2102);  // executable, 32-bit, DLL
  size_t opt = coff + 20;
  Put16(image, opt, pe32Plus ? 0x20B : 0x10B);
  Put32(image, opt + 32, 0x1000);     // section alignment
  Put32(image, opt + 36, fileAlign);  // file alignment
  Put32(image, opt + 60, 0x200);      // size of headers
  Put16(image, opt + 68, 9);          // Windows CE GUI
  size_t countField = opt + (pe32Plus ? 108 : 92);
  Put32(image, countField, 16);
  if (versionBlock.empty()) {
    Put32(image, opt + 56, 0x1000);  // size of image
    return image;
  }
  // The resource section: three directories with one entry each, the data
  // entry, then the block.
  std::string rsrc;
  auto directory = [&](uint32_t id, uint32_t target) {
    std::string dir(16, '\0');
    Put16(dir, 14, 1);
    Append32(dir, id);
    Append32(dir, target);
    rsrc += dir;
  };
  directory(16, 0x80000000u | 24);
  directory(1, 0x80000000u | 48);
  directory(0x0409, 72);
  Append32(rsrc, sectionRva + 88);
  Append32(rsrc, static_cast<uint32_t>(versionBlock.size()));
  Append32(rsrc, 0);
  Append32(rsrc, 0);
  rsrc += versionBlock;
  uint32_t rawSize = (static_cast<uint32_t>(rsrc.size()) + fileAlign - 1) / fileAlign * fileAlign;
  rsrc.resize(rawSize, '\0');
  Put32(image, opt + 56, sectionRva + ((rawSize + 0xFFF) & ~0xFFFu));
  Put32(image, countField + 4 + 16, sectionRva);
  Put32(image, countField + 4 + 20, static_cast<uint32_t>(88 + versionBlock.size()));
  size_t section = opt + optionalSize;
  image.replace(section, 6, ".rsrc\0", 6);
  Put32(image, section + 8, static_cast<uint32_t>(88 + versionBlock.size()));
  Put32(image, section + 12, sectionRva);
  Put32(image, section + 16, rawSize);
  Put32(image, section + 20, 0x200);
  Put32(image, section + 36, 0x40000040);
  return image + rsrc;
}

}  // namespace velmora
