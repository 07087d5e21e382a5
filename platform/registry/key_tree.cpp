#include "platform/registry/key_tree.h"

#include <algorithm>

#include "platform/text.h"

namespace velmora {

KeyNode* KeyNode::FindSubkey(std::u16string_view name) const {
  auto it = childIndex_.find(FoldCase(name));
  return it == childIndex_.end() ? nullptr : children_[it->second].get();
}

std::shared_ptr<KeyNode> KeyNode::SharedSubkey(std::u16string_view name) const {
  auto it = childIndex_.find(FoldCase(name));
  return it == childIndex_.end() ? nullptr : children_[it->second];
}

KeyNode* KeyNode::AddSubkey(std::u16string name) {
  if (KeyNode* existing = FindSubkey(name)) {
    return existing;
  }
  childIndex_.emplace(FoldCase(name), children_.size());
  children_.push_back(std::make_shared<KeyNode>(std::move(name), this));
  return children_.back().get();
}

bool KeyNode::RemoveSubkey(std::u16string_view name) {
  auto it = childIndex_.find(FoldCase(name));
  if (it == childIndex_.end()) {
    return false;
  }
  size_t index = it->second;
  children_[index]->MarkDeleted();
  children_.erase(children_.begin() + static_cast<std::ptrdiff_t>(index));
  childIndex_.erase(it);
  for (auto& entry : childIndex_) {
    if (entry.second > index) {
      --entry.second;
    }
  }
  return true;
}

void KeyNode::MarkDeleted() {
  deleted_ = true;
  parent_ = nullptr;
  for (auto& child : children_) {
    child->MarkDeleted();
  }
}

const RegValue* KeyNode::FindValue(std::u16string_view name) const {
  for (const RegValue& value : values_) {
    if (EqualsIgnoringCase(value.name, name)) {
      return &value;
    }
  }
  return nullptr;
}

void KeyNode::SetValue(std::u16string_view name, uint32_t type, std::vector<uint8_t> data) {
  for (RegValue& value : values_) {
    if (EqualsIgnoringCase(value.name, name)) {
      value.type = type;
      value.data = std::move(data);
      return;
    }
  }
  values_.push_back(RegValue{std::u16string(name), type, std::move(data)});
}

bool KeyNode::RemoveValue(std::u16string_view name) {
  auto it = std::find_if(values_.begin(), values_.end(), [&](const RegValue& value) {
    return EqualsIgnoringCase(value.name, name);
  });
  if (it == values_.end()) {
    return false;
  }
  values_.erase(it);
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
    path += (*it)->name_;
  }
  return path;
}

bool KeyNode::SameContent(const KeyNode& other) const {
  if (name_ != other.name_ || values_ != other.values_ ||
      children_.size() != other.children_.size()) {
    return false;
  }
  for (size_t i = 0; i < children_.size(); ++i) {
    if (!children_[i]->SameContent(*other.children_[i])) {
      return false;
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
