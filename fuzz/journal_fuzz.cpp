// Any bytes as a registry journal: the records are found, checked and
// replayed without a crash, and a replayed tree writes out as text that
// reads back to the same tree.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/registry/journal_format.h"
#include "platform/registry/key_tree.h"
#include "platform/registry/reg_reader.h"
#include "platform/registry/reg_writer.h"
#include "platform/registry/tree_change.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  uint64_t generation = 0;
  velmora::journal::ReadGeneration(text, &generation);
  size_t start = velmora::journal::HeaderLength(text);
  velmora::KeyNode root;
  velmora::TreeChange change(velmora::TreeChange::Options{.undoable = true, .record = true});
  velmora::journal::ScanRecords(text.substr(start), start,
                                [&](std::string_view body, size_t, std::string* error) {
                                  return velmora::ReadRegLines(body, root, change, error);
                                });
  std::string written = velmora::FormatRegText(root);
  velmora::KeyNode again;
  std::string error;
  if (!velmora::ReadRegText(written, again, &error) || !again.SameContent(root)) {
    std::abort();
  }
  // Undoing everything gives the empty tree back.
  change.UndoAll();
  if (root.SubkeyCount() != 0 || root.ValueCount() != 0) {
    std::abort();
  }
  return 0;
}
