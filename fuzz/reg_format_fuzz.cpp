// Any bytes given to the .reg reader: no crash, and whatever it accepts
// comes back unchanged through the writer and the reader again.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/registry/key_tree.h"
#include "platform/registry/reg_reader.h"
#include "platform/registry/reg_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  velmora::KeyNode root;
  std::string error;
  if (!velmora::ReadRegText(bytes, root, &error)) {
    return 0;
  }
  std::string text = velmora::FormatRegText(root);
  velmora::KeyNode again;
  if (!velmora::ReadRegText(text, again, &error) || !again.SameContent(root) ||
      velmora::FormatRegText(again) != text) {
    std::abort();
  }
  return 0;
}
