#include "platform/registry/key_tree.h"

#include <algorithm>
#include <cstring>

#include "platform/text.h"

namespace velmora {

// RegValue ---------------------------------------------------------------

RegValue::RegValue(std::u16string_view name, uint32_t type, std::span<const uint8_t> data)
    : type_(type),
      dataSize_(static_cast<uint32_t>(data.size())),
      nameLength_(static_cast<uint16_t>(name.size())) {
  char16_t* buffer = units_;
  if (OnHeap()) {
    buffer = new char16_t[Units()];
    std::memcpy(units_, &buffer, sizeof buffer);
  }
  std::copy(name.begin(), name.end(), buffer);
  if (!data.empty()) {
    std::memcpy(buffer + nameLength_, data.data(), data.size());
  }
}

RegValue::~RegValue() {
  Release();
}

const char16_t* RegValue::Buffer() const {
  if (!OnHeap()) {
    return units_;
  }
  const char16_t* heap = nullptr;
  std::memcpy(&heap, units_, sizeof heap);
  return heap;
}

void RegValue::Release() {
  if (OnHeap()) {
    delete[] Buffer();
  }
  nameLength_ = 0;
  dataSize_ = 0;
}

void RegValue::TakeFrom(RegValue& other) {
  type_ = other.type_;
  dataSize_ = other.dataSize_;
  nameLength_ = other.nameLength_;
  std::memcpy(units_, other.units_, sizeof units_);  // the units or the pointer
  other.nameLength_ = 0;
  other.dataSize_ = 0;
}

RegValue::RegValue(RegValue&& other) noexcept {
  TakeFrom(other);
}

RegValue& RegValue::operator=(RegValue&& other) noexcept {
  if (this != &other) {
    Release();
    TakeFrom(other);
  }
  return *this;
}

bool RegValue::operator==(const RegValue& other) const {
  return type_ == other.type_ && name() == other.name() &&
         std::equal(data().begin(), data().end(), other.data().begin(), other.data().end());
}

// KeyName ----------------------------------------------------------------

KeyName::KeyName(std::u16string_view name) : length_(static_cast<uint16_t>(name.size())) {
  if (length_ <= InlineUnits) {
    std::copy(name.begin(), name.end(), units_);
    return;
  }
  char16_t* heap = new char16_t[length_];
  std::copy(name.begin(), name.end(), heap);
  std::memcpy(units_, &heap, sizeof heap);
}

KeyName::~KeyName() {
  if (length_ > InlineUnits) {
    delete[] Units();
  }
}

const char16_t* KeyName::Units() const {
  if (length_ <= InlineUnits) {
    return units_;
  }
  const char16_t* heap = nullptr;
  std::memcpy(&heap, units_, sizeof heap);
  return heap;
}

// NameIndex --------------------------------------------------------------

uint32_t NameIndex::Hash(std::u16string_view name) {
  uint32_t hash = 2166136261u;  // FNV-1a over the folded code units
  for (char16_t c : name) {
    char16_t folded = FoldCase(c);
    hash = (hash ^ (folded & 0xFF)) * 16777619u;
    hash = (hash ^ (folded >> 8)) * 16777619u;
  }
  return hash;
}

void NameIndex::Place(uint32_t position, uint32_t hash) {
  uint32_t slot = hash & mask_;
  while (slots_[slot] != 0) {
    slot = (slot + 1) & mask_;
  }
  slots_[slot] = position + 1;
}

template <typename NameAt>
int64_t NameIndex::Find(std::u16string_view name, const NameAt& nameAt) const {
  for (uint32_t slot = Hash(name) & mask_; slots_[slot] != 0; slot = (slot + 1) & mask_) {
    uint32_t position = slots_[slot] - 1;
    if (EqualsIgnoringCase(nameAt(position), name)) {
      return position;
    }
  }
  return -1;
}

bool NameIndex::Add(uint32_t position, std::u16string_view name) {
  if ((count_ + 1) * 4 > (mask_ + 1) * 3) {
    return false;  // three quarters full: the owner rebuilds at twice the size
  }
  Place(position, Hash(name));
  ++count_;
  return true;
}

template <typename NameAt>
void NameIndex::Rebuild(size_t count, const NameAt& nameAt) {
  uint32_t size = 16;
  while (size < count * 2) {
    size *= 2;
  }
  mask_ = size - 1;
  slots_ = std::make_unique<uint32_t[]>(size);
  count_ = static_cast<uint32_t>(count);
  for (size_t i = 0; i < count; ++i) {
    Place(static_cast<uint32_t>(i), Hash(nameAt(i)));
  }
}

void NameIndex::Clear() {
  slots_.reset();
  mask_ = 0;
  count_ = 0;
}

// KeyNode ----------------------------------------------------------------

KeyNode::~KeyNode() {
  // Take the subtree apart without recursion: a deep tree must not exhaust
  // the stack.
  std::vector<std::unique_ptr<KeyNode>> pending;
  auto collect = [&pending](KeyNode& node) {
    while (!node.children_.empty()) {
      pending.push_back(node.children_.Take(node.children_.size() - 1));
    }
  };
  collect(*this);
  while (!pending.empty()) {
    std::unique_ptr<KeyNode> node = std::move(pending.back());
    pending.pop_back();
    collect(*node);
  }
}

size_t KeyNode::Depth() const {
  size_t depth = 0;
  for (const KeyNode* node = this; node->parent_ != nullptr; node = node->parent_) {
    ++depth;
  }
  return depth;
}

KeyNode::Indexes& KeyNode::EnsureIndexes() {
  if (!indexes_) {
    indexes_ = std::make_unique<Indexes>();
  }
  return *indexes_;
}

void KeyNode::ReindexSubkeys() {
  if (children_.size() <= IndexThreshold) {
    if (indexes_) {
      indexes_->subkeys.Clear();
    }
    return;
  }
  EnsureIndexes().subkeys.Rebuild(children_.size(),
                                  [this](size_t i) { return children_[i]->name(); });
}

void KeyNode::ReindexValues() {
  if (values_.size() <= IndexThreshold) {
    if (indexes_) {
      indexes_->values.Clear();
    }
    return;
  }
  EnsureIndexes().values.Rebuild(values_.size(), [this](size_t i) { return values_[i].name(); });
}

int64_t KeyNode::SubkeyPosition(std::u16string_view name) const {
  if (indexes_ && indexes_->subkeys.built()) {
    return indexes_->subkeys.Find(name, [this](size_t i) { return children_[i]->name(); });
  }
  for (size_t i = 0; i < children_.size(); ++i) {
    if (EqualsIgnoringCase(children_[i]->name(), name)) {
      return static_cast<int64_t>(i);
    }
  }
  return -1;
}

KeyNode* KeyNode::FindSubkey(std::u16string_view name) const {
  int64_t position = SubkeyPosition(name);
  return position < 0 ? nullptr : children_[static_cast<size_t>(position)].get();
}

KeyNode* KeyNode::AddSubkey(std::u16string_view name, bool* created) {
  int64_t position = SubkeyPosition(name);
  if (created != nullptr) {
    *created = position < 0;
  }
  if (position >= 0) {
    return children_[static_cast<size_t>(position)].get();
  }
  auto child = std::make_unique<KeyNode>(name);
  child->parent_ = this;
  KeyNode* added = child.get();
  children_.PushBack(std::move(child));
  bool indexed = indexes_ && indexes_->subkeys.built() &&
                 indexes_->subkeys.Add(static_cast<uint32_t>(children_.size() - 1), name);
  if (!indexed) {
    ReindexSubkeys();
  }
  return added;
}

std::unique_ptr<KeyNode> KeyNode::DetachSubkey(size_t position) {
  std::unique_ptr<KeyNode> subtree = children_.Take(position);
  ReindexSubkeys();
  subtree->MarkSubtree(true);
  return subtree;
}

void KeyNode::AttachSubkey(size_t position, std::unique_ptr<KeyNode> subtree) {
  subtree->parent_ = this;
  subtree->MarkSubtree(false);
  children_.Insert(position, std::move(subtree));
  ReindexSubkeys();
}

void KeyNode::MarkSubtree(bool deleted) {
  std::vector<KeyNode*> pending{this};
  while (!pending.empty()) {
    KeyNode* node = pending.back();
    pending.pop_back();
    node->deleted_ = deleted;
    for (auto& child : node->children_) {
      pending.push_back(child.get());
    }
  }
}

int64_t KeyNode::ValuePosition(std::u16string_view name) const {
  if (indexes_ && indexes_->values.built()) {
    return indexes_->values.Find(name, [this](size_t i) { return values_[i].name(); });
  }
  for (size_t i = 0; i < values_.size(); ++i) {
    if (EqualsIgnoringCase(values_[i].name(), name)) {
      return static_cast<int64_t>(i);
    }
  }
  return -1;
}

const RegValue* KeyNode::FindValue(std::u16string_view name) const {
  int64_t position = ValuePosition(name);
  return position < 0 ? nullptr : &values_[static_cast<size_t>(position)];
}

void KeyNode::InsertValue(size_t position, RegValue value) {
  bool atEnd = position == values_.size();
  values_.Insert(position, std::move(value));
  bool indexed = atEnd && indexes_ && indexes_->values.built() &&
                 indexes_->values.Add(static_cast<uint32_t>(position), values_[position].name());
  if (!indexed) {
    ReindexValues();
  }
}

RegValue KeyNode::TakeValue(size_t position) {
  RegValue value = values_.Take(position);
  ReindexValues();
  return value;
}

RegValue KeyNode::ReplaceValue(size_t position, RegValue value) {
  RegValue old = std::move(values_[position]);
  values_[position] = std::move(value);
  return old;
}

void KeyNode::SetValue(std::u16string_view name, uint32_t type, std::span<const uint8_t> data) {
  int64_t position = ValuePosition(name);
  if (position >= 0) {
    size_t at = static_cast<size_t>(position);
    ReplaceValue(at, values_[at].WithData(type, data));
  } else {
    InsertValue(values_.size(), RegValue(name, type, data));
  }
}

bool KeyNode::RemoveValue(std::u16string_view name) {
  int64_t position = ValuePosition(name);
  if (position < 0) {
    return false;
  }
  TakeValue(static_cast<size_t>(position));
  return true;
}

std::u16string KeyNode::Path() const {
  std::vector<const KeyNode*> chain;
  for (const KeyNode* node = this; node != nullptr && node->parent_ != nullptr;
       node = node->parent_) {
    chain.push_back(node);
  }
  std::u16string path;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    if (!path.empty()) {
      path += u'\\';
    }
    path += (*it)->name();
  }
  return path;
}

bool KeyNode::SameContent(const KeyNode& other) const {
  std::vector<std::pair<const KeyNode*, const KeyNode*>> pending{{this, &other}};
  while (!pending.empty()) {
    auto [a, b] = pending.back();
    pending.pop_back();
    if (a->name() != b->name() || a->values_.size() != b->values_.size() ||
        a->children_.size() != b->children_.size()) {
      return false;
    }
    for (size_t i = 0; i < a->values_.size(); ++i) {
      if (!(a->values_[i] == b->values_[i])) {
        return false;
      }
    }
    for (size_t i = 0; i < a->children_.size(); ++i) {
      pending.emplace_back(a->children_[i].get(), b->children_[i].get());
    }
  }
  return true;
}

std::vector<std::u16string_view> SplitKeyPath(std::u16string_view path) {
  std::vector<std::u16string_view> parts;
  if (path.empty()) {
    return parts;
  }
  size_t start = 0;
  while (true) {
    size_t end = path.find(u'\\', start);
    parts.push_back(path.substr(start, end == std::u16string_view::npos ? end : end - start));
    if (end == std::u16string_view::npos) {
      break;
    }
    start = end + 1;
  }
  return parts;
}

}  // namespace velmora
