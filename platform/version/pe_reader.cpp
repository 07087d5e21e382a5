#include "platform/version/pe_reader.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace velmora {

bool ImageSource::Read(uint64_t offset, size_t count, char* out) {
  if (!Has(offset, count)) {
    return false;
  }
  if (fd_ < 0) {
    std::memcpy(out, bytes_.data() + offset, count);
    return true;
  }
  while (count > 0) {
    if (offset < windowStart_ || offset >= windowStart_ + windowLength_) {
      // Move the window to the page that holds offset.
      windowStart_ = offset - offset % WindowSize;
      windowLength_ = 0;
      size_t wanted = static_cast<size_t>(std::min<uint64_t>(WindowSize, size_ - windowStart_));
      while (windowLength_ < wanted) {
        ssize_t n = ::pread(fd_, window_ + windowLength_, wanted - windowLength_,
                            static_cast<off_t>(windowStart_ + windowLength_));
        if (n < 0 && errno == EINTR) {
          continue;
        }
        if (n <= 0) {
          return false;  // a read error, or the file was cut short meanwhile
        }
        windowLength_ += static_cast<size_t>(n);
      }
    }
    size_t within = static_cast<size_t>(offset - windowStart_);
    size_t piece = std::min(count, windowLength_ - within);
    std::memcpy(out, window_ + within, piece);
    out += piece;
    offset += piece;
    count -= piece;
  }
  return true;
}

bool ImageSource::U16(uint64_t offset, uint32_t* out) {
  unsigned char bytes[2];
  if (!Read(offset, 2, reinterpret_cast<char*>(bytes))) {
    return false;
  }
  *out = bytes[0] | bytes[1] << 8;
  return true;
}

bool ImageSource::U32(uint64_t offset, uint32_t* out) {
  unsigned char bytes[4];
  if (!Read(offset, 4, reinterpret_cast<char*>(bytes))) {
    return false;
  }
  *out = bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24;
  return true;
}

namespace {

constexpr uint32_t ResourceTypeVersion = 16;

struct Section {
  uint32_t virtualAddress;
  uint32_t virtualSize;
  uint32_t rawSize;
  uint32_t rawOffset;
};

bool RvaToOffset(const std::vector<Section>& sections, uint32_t rva, uint32_t size,
                 uint64_t* offset) {
  for (const Section& s : sections) {
    uint32_t extent = std::max(s.virtualSize, s.rawSize);
    if (rva >= s.virtualAddress && rva - s.virtualAddress < extent) {
      uint64_t within = rva - s.virtualAddress;
      if (within + size > s.rawSize) {
        return false;
      }
      *offset = static_cast<uint64_t>(s.rawOffset) + within;
      return true;
    }
  }
  return false;
}

// The first entry of a resource directory at dirOffset whose id is wanted
// (any entry when wanted is 0), as the raw OffsetToData field.
bool DirectoryEntry(ImageSource& r, uint64_t dirOffset, uint32_t wanted, uint32_t* data) {
  uint32_t named = 0;
  uint32_t ids = 0;
  if (!r.U16(dirOffset + 12, &named) || !r.U16(dirOffset + 14, &ids)) {
    return false;
  }
  for (uint32_t i = 0; i < named + ids; ++i) {
    uint64_t entry = dirOffset + 16 + 8ull * i;
    uint32_t name = 0;
    if (!r.U32(entry, &name) || !r.U32(entry + 4, data)) {
      return false;
    }
    bool isId = (name & 0x80000000u) == 0;
    if (wanted == 0 || (isId && name == wanted)) {
      return true;
    }
  }
  return false;
}

// The PE headers: where the optional header starts, where its count of
// data directories is, and the section count and optional header's size.
bool ReadHeaders(ImageSource& r, uint64_t* optional, uint64_t* countField, uint32_t* sectionCount,
                 uint32_t* optionalSize) {
  uint32_t magic = 0;
  uint32_t peOffset = 0;
  uint32_t signature = 0;
  if (!r.U16(0, &magic) || magic != 0x5A4D || !r.U32(0x3C, &peOffset) ||
      !r.U32(peOffset, &signature) || signature != 0x00004550) {
    return false;
  }
  uint64_t coff = peOffset + 4ull;
  uint32_t optionalMagic = 0;
  if (!r.U16(coff + 2, sectionCount) || !r.U16(coff + 16, optionalSize) ||
      !r.U16(coff + 20, &optionalMagic)) {
    return false;
  }
  *optional = coff + 20;
  if (optionalMagic == 0x10B) {
    *countField = *optional + 92;
  } else if (optionalMagic == 0x20B) {
    *countField = *optional + 108;
  } else {
    return false;
  }
  return true;
}

}  // namespace

bool ExtractVersionResource(ImageSource& r, std::string* block) {
  uint64_t optional = 0;
  uint64_t countField = 0;
  uint32_t sectionCount = 0;
  uint32_t optionalSize = 0;
  if (!ReadHeaders(r, &optional, &countField, &sectionCount, &optionalSize)) {
    return false;
  }
  uint32_t directoryCount = 0;
  uint32_t resourceRva = 0;
  uint32_t resourceSize = 0;
  if (!r.U32(countField, &directoryCount) || directoryCount < 3 ||
      countField + 4 + 3 * 8 > optional + optionalSize ||
      !r.U32(countField + 4 + 16, &resourceRva) || !r.U32(countField + 4 + 20, &resourceSize) ||
      resourceRva == 0) {
    return false;
  }
  std::vector<Section> sections;
  uint64_t table = optional + optionalSize;
  for (uint32_t i = 0; i < sectionCount; ++i) {
    uint64_t s = table + 40ull * i;
    Section section{};
    if (!r.U32(s + 8, &section.virtualSize) || !r.U32(s + 12, &section.virtualAddress) ||
        !r.U32(s + 16, &section.rawSize) || !r.U32(s + 20, &section.rawOffset)) {
      return false;
    }
    if (!r.Has(section.rawOffset, section.rawSize)) {
      section.rawSize = 0;  // a section cut off by the file's end holds nothing
    }
    sections.push_back(section);
  }
  uint64_t root = 0;
  if (!RvaToOffset(sections, resourceRva, 16, &root)) {
    return false;
  }
  // Three levels: type, name, language; the last points at a data entry.
  uint32_t data = 0;
  uint64_t dir = root;
  const uint32_t wanted[3] = {ResourceTypeVersion, 0, 0};
  for (int level = 0; level < 3; ++level) {
    if (!DirectoryEntry(r, dir, wanted[level], &data)) {
      return false;
    }
    bool isDirectory = (data & 0x80000000u) != 0;
    if (isDirectory != (level < 2)) {
      return false;
    }
    dir = root + (data & 0x7FFFFFFFu);
  }
  uint32_t blockRva = 0;
  uint32_t blockSize = 0;
  uint64_t blockOffset = 0;
  if (!r.U32(root + data, &blockRva) || !r.U32(root + data + 4, &blockSize) || blockSize == 0 ||
      !RvaToOffset(sections, blockRva, blockSize, &blockOffset) || !r.Has(blockOffset, blockSize)) {
    return false;
  }
  block->resize(blockSize);
  if (!r.Read(blockOffset, blockSize, block->data())) {
    block->clear();
    return false;
  }
  return true;
}

bool ExtractVersionResource(std::string_view image, std::string* block) {
  ImageSource source(image);
  return ExtractVersionResource(source, block);
}

bool IsPeImage(ImageSource& image) {
  uint64_t optional = 0;
  uint64_t countField = 0;
  uint32_t sectionCount = 0;
  uint32_t optionalSize = 0;
  return ReadHeaders(image, &optional, &countField, &sectionCount, &optionalSize);
}

}  // namespace velmora
