// Lookups in a VS_VERSIONINFO block. Each node of the block is
//   WORD wLength; WORD wValueLength; WORD wType; WCHAR szKey[]; (pad to 4)
//   value (wValueLength characters when wType is 1, bytes when 0); (pad to 4)
//   children
// and every read below is checked against the block's bounds.
#include <cstring>
#include <vector>

#include "platform/text.h"
#include "platform/version_resources.h"

namespace velmora {

namespace {

struct Node {
  uint32_t start = 0;
  uint32_t end = 0;  // one past the node
  std::u16string key;
  uint32_t valueOffset = 0;
  uint16_t valueLength = 0;
  uint16_t type = 0;
  uint32_t childrenOffset = 0;
};

uint16_t Word(const uint8_t* block, uint32_t offset) {
  return static_cast<uint16_t>(block[offset] | block[offset + 1] << 8);
}

uint32_t Align4(uint32_t offset) {
  return (offset + 3) & ~3u;
}

// Reads the node at offset, which must end by limit.
bool ReadNode(const uint8_t* block, uint32_t offset, uint32_t limit, Node* node) {
  if (offset + 6 > limit) {
    return false;
  }
  uint16_t length = Word(block, offset);
  if (length < 6 || offset + length > limit) {
    return false;
  }
  node->start = offset;
  node->end = offset + length;
  node->valueLength = Word(block, offset + 2);
  node->type = Word(block, offset + 4);
  node->key.clear();
  uint32_t at = offset + 6;
  while (true) {
    if (at + 2 > node->end) {
      return false;
    }
    char16_t c = Word(block, at);
    at += 2;
    if (c == 0) {
      break;
    }
    node->key.push_back(c);
  }
  node->valueOffset = Align4(at);
  uint32_t valueBytes = node->type == 1 ? node->valueLength * 2u : node->valueLength;
  if (node->valueOffset > node->end || valueBytes > node->end - node->valueOffset) {
    // Some writers round wLength down past the value; the value must fit.
    if (node->valueLength != 0) {
      return false;
    }
    node->valueOffset = node->end;
  }
  node->childrenOffset = Align4(node->valueOffset + valueBytes);
  return true;
}

}  // namespace

int QueryVersionValue(const uint8_t* block, uint32_t blockSize, std::u16string_view subBlock,
                      const void** value, uint32_t* length) {
  Node node;
  if (block == nullptr || !ReadNode(block, 0, blockSize, &node)) {
    return 0;
  }
  for (const std::u16string& part : SplitPath(subBlock, u"\\")) {
    uint32_t at = node.childrenOffset;
    bool found = false;
    Node child;
    while (at < node.end && ReadNode(block, at, node.end, &child)) {
      if (EqualsIgnoringCase(child.key, part)) {
        found = true;
        break;
      }
      at = Align4(child.end);
    }
    if (!found) {
      return 0;
    }
    node = child;
  }
  if (node.type == 1 && node.valueLength != 0) {
    // A text value counts only when its terminating zero is in the block.
    bool terminated = false;
    for (uint32_t at = node.valueOffset; at + 2 <= node.end && !terminated; at += 2) {
      terminated = Word(block, at) == 0;
    }
    if (!terminated) {
      return 0;
    }
  }
  *value = block + node.valueOffset;
  *length = node.valueLength;
  return 1;
}

}  // namespace velmora
