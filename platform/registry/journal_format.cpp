#include "platform/registry/journal_format.h"

#include <array>
#include <cstdio>

#include "platform/registry/reg_writer.h"

namespace velmora::journal {

namespace {

constexpr std::string_view GenerationPrefix = "; generation ";
constexpr std::string_view RecordPrefix = ";@ ";

std::array<uint32_t, 256> MakeCrcTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int k = 0; k < 8; ++k) {
      c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    }
    table[i] = c;
  }
  return table;
}

// The line that starts at offset, without its "\n"; false when there is no
// "\n" after it.
bool LineAt(std::string_view text, size_t offset, std::string_view* line) {
  size_t end = text.find('\n', offset);
  if (end == std::string_view::npos) {
    return false;
  }
  *line = text.substr(offset, end - offset);
  return true;
}

bool ParseRecordHeader(std::string_view line, uint64_t* length, uint32_t* crc) {
  if (line.substr(0, RecordPrefix.size()) != RecordPrefix) {
    return false;
  }
  line.remove_prefix(RecordPrefix.size());
  size_t space = line.find(' ');
  if (space == 0 || space == std::string_view::npos || space > 12 || line.size() - space != 9) {
    return false;
  }
  *length = 0;
  for (char c : line.substr(0, space)) {
    if (c < '0' || c > '9') {
      return false;
    }
    *length = *length * 10 + static_cast<uint64_t>(c - '0');
  }
  *crc = 0;
  for (char c : line.substr(space + 1)) {
    int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    if (digit < 0) {
      return false;
    }
    *crc = *crc << 4 | static_cast<uint32_t>(digit);
  }
  return true;
}

}  // namespace

uint32_t Crc32(std::string_view bytes, uint32_t previous) {
  static const std::array<uint32_t, 256> table = MakeCrcTable();
  uint32_t c = previous ^ 0xFFFFFFFFu;
  for (char b : bytes) {
    c = table[(c ^ static_cast<uint8_t>(b)) & 0xFF] ^ (c >> 8);
  }
  return c ^ 0xFFFFFFFFu;
}

std::string SnapshotComment(uint64_t generation) {
  return std::string(GenerationPrefix) + std::to_string(generation) +
         ": later changes are in registry.journal\n";
}

std::string JournalHeader(uint64_t generation) {
  return std::string(RegFileHeader) + std::string(GenerationPrefix) + std::to_string(generation) +
         ": the changes made after registry.reg of this generation\n";
}

bool ReadGeneration(std::string_view text, uint64_t* generation) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") {
    text.remove_prefix(3);
  }
  size_t second = text.find('\n');
  if (second == std::string_view::npos) {
    return false;
  }
  std::string_view line = text.substr(second + 1);
  if (line.substr(0, GenerationPrefix.size()) != GenerationPrefix) {
    return false;
  }
  line.remove_prefix(GenerationPrefix.size());
  size_t digits = 0;
  uint64_t value = 0;
  while (digits < line.size() && digits < 19 && line[digits] >= '0' && line[digits] <= '9') {
    value = value * 10 + static_cast<uint64_t>(line[digits] - '0');
    ++digits;
  }
  if (digits == 0 || digits == line.size() || line[digits] != ':') {
    return false;
  }
  *generation = value;
  return true;
}

size_t HeaderLength(std::string_view text) {
  size_t first = text.find('\n');
  if (first == std::string_view::npos) {
    return 0;
  }
  size_t second = text.find('\n', first + 1);
  return second == std::string_view::npos ? 0 : second + 1;
}

std::string FrameRecord(std::string_view body) {
  char header[40];
  std::snprintf(header, sizeof header, ";@ %zu %08x\n", body.size(),
                static_cast<unsigned>(Crc32(body)));
  std::string record(header);
  record += body;
  return record;
}

Scan ScanRecords(std::string_view text, size_t base,
                 const std::function<bool(std::string_view, size_t, std::string*)>& apply) {
  Scan scan;
  while (scan.end < text.size()) {
    std::string_view line;
    if (!LineAt(text, scan.end, &line)) {
      scan.torn = true;  // a header line cut short
      return scan;
    }
    uint64_t length = 0;
    uint32_t crc = 0;
    if (!ParseRecordHeader(line, &length, &crc)) {
      scan.damaged = true;
      scan.error = "a malformed record header at byte " + std::to_string(base + scan.end);
      return scan;
    }
    size_t bodyStart = scan.end + line.size() + 1;
    if (length > text.size() - bodyStart) {
      scan.torn = true;  // the body cut short
      return scan;
    }
    std::string_view body = text.substr(bodyStart, length);
    if (Crc32(body) != crc) {
      // A bad last record is a write that did not finish; a bad record with
      // more after it is damage.
      if (bodyStart + length == text.size()) {
        scan.torn = true;
      } else {
        scan.damaged = true;
        scan.error = "a damaged record at byte " + std::to_string(base + scan.end);
      }
      return scan;
    }
    if (!apply(body, base + scan.end, &scan.error)) {
      scan.damaged = true;
      return scan;
    }
    scan.end = bodyStart + length;
  }
  return scan;
}

}  // namespace velmora::journal
