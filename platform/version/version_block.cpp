// Lookups in a VS_VERSIONINFO block. Each node of the block is
//   WORD wLength; WORD wValueLength; WORD wType; WCHAR szKey[]; (pad to 4)
//   value (wValueLength characters when wType is 1, bytes when 0); (pad to 4)
//   children
// and every read below is checked against the block's bounds and stays
// within the node it belongs to.
#include <algorithm>
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
  node->valueOffset = std::min(Align4(at), node->end);
  // A stated length that runs past the node (some writers state text
  // lengths in bytes, or round wLength down) is cut to the node: nothing
  // outside the node ever counts as its value.
  uint32_t room = node->end - node->valueOffset;
  if (node->type == 1) {
    node->valueLength = static_cast<uint16_t>(std::min<uint32_t>(node->valueLength, room / 2));
    node->childrenOffset = Align4(node->valueOffset + node->valueLength * 2u);
  } else {
    node->valueLength = static_cast<uint16_t>(std::min<uint32_t>(node->valueLength, room));
    node->childrenOffset = Align4(node->valueOffset + node->valueLength);
  }
  return true;
}

}  // namespace

int QueryVersionValue(const uint8_t* block, uint32_t blockSize, std::u16string_view subBlock,
                      VersionValue* value) {
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
  value->data = block + node.valueOffset;
  value->length = node.valueLength;
  value->room = node.end - node.valueOffset;
  return 1;
}

int QueryVersionValue(const uint8_t* block, uint32_t blockSize, std::u16string_view subBlock,
                      const void** value, uint32_t* length) {
  VersionValue found;
  if (!QueryVersionValue(block, blockSize, subBlock, &found)) {
    return 0;
  }
  *value = found.data;
  *length = found.length;
  return 1;
}

std::u16string VersionValueText(const VersionValue& value) {
  std::u16string text;
  for (uint32_t at = 0; value.data != nullptr && at + 2 <= value.room; at += 2) {
    char16_t c = Word(value.data, at);
    if (c == 0) {
      break;
    }
    text.push_back(c);
  }
  return text;
}

}  // namespace velmora
