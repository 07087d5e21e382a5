// The text of the registry's two files.
//
// registry.reg, the snapshot, is a whole registry file whose second line
// names its generation:
//
//   Windows Registry Editor Version 5.00
//   ; generation 7: later changes are in registry.journal
//
// registry.journal holds the changes made after the snapshot of the
// generation its second line names, one record per change, each the .reg
// lines that redo it behind a line with their length and CRC-32:
//
//   Windows Registry Editor Version 5.00
//   ; generation 7: the changes made after registry.reg of this generation
//   ;@ 52 1c291ca3
//   [HKEY_LOCAL_MACHINE\Drivers\Active\05]
//   "Hnd"=dword:000003ec
//
// Both files stay readable (and importable) .reg text. A snapshot without
// a generation line (written by hand or by an older tool) is generation 0.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace velmora::journal {

// The comment line below the header of each file, with its line end.
std::string SnapshotComment(uint64_t generation);
std::string JournalHeader(uint64_t generation);

// The generation named by the second line of either file; false when that
// line is not a generation line.
bool ReadGeneration(std::string_view text, uint64_t* generation);

// One record: its header line and body.
std::string FrameRecord(std::string_view body);

struct Scan {
  size_t end = 0;        // offset after the last whole record
  bool torn = false;     // the text ends in a record cut short (a crashed write)
  bool damaged = false;  // a record that is neither whole nor the last one
  std::string error;     // what is damaged, and where
};

// Walks the records of text, which starts at byte base of the journal (the
// start of a record, or the end of the header), calling apply(body,
// offset) for each whole record until apply returns false (Scan::error is
// then its message). Offsets are the journal's.
Scan ScanRecords(
    std::string_view text, size_t base,
    const std::function<bool(std::string_view body, size_t offset, std::string* error)>& apply);

// The offset just after the header lines of a journal text; 0 when the
// text does not start with a whole header.
size_t HeaderLength(std::string_view text);

// The CRC-32 of bytes; of the bytes after others when previous is theirs.
uint32_t Crc32(std::string_view bytes, uint32_t previous = 0);

}  // namespace velmora::journal
