#include "platform/registry/tree_change.h"

#include "platform/registry/reg_writer.h"

namespace velmora {

void TreeChange::RecordKey(const KeyNode& key) {
  if (recordKey_ != &key) {
    AppendKeyLine(record_, key.Path());
    recordKey_ = &key;
  }
}

KeyNode* TreeChange::CreateKey(KeyNode& parent, std::u16string_view name) {
  bool created = false;
  KeyNode* key = parent.AddSubkey(name, &created);
  if (created) {
    changed_ = true;
    if (options_.undoable) {
      undo_.push_back(Step{Step::Kind::AddedKey, &parent, parent.SubkeyCount() - 1, {}, {}});
    }
    if (options_.record) {
      RecordKey(*key);
    }
  }
  return key;
}

bool TreeChange::RemoveKey(KeyNode& parent, std::u16string_view name) {
  int64_t position = parent.SubkeyPosition(name);
  if (position < 0) {
    return false;
  }
  changed_ = true;
  std::unique_ptr<KeyNode> subtree = parent.DetachSubkey(static_cast<size_t>(position));
  if (options_.record) {
    AppendKeyLine(record_,
                  parent.Path() + (parent.parent() != nullptr ? u"\\" : u"") +
                      std::u16string(subtree->name()),
                  true);
    recordKey_ = nullptr;  // what follows a removal must name its key again
  }
  if (options_.undoable) {
    undo_.push_back(Step{
        Step::Kind::RemovedKey, &parent, static_cast<size_t>(position), std::move(subtree), {}});
  } else {
    removed_.push_back(std::move(subtree));
  }
  return true;
}

void TreeChange::SetValue(KeyNode& key, std::u16string_view name, uint32_t type,
                          std::span<const uint8_t> data) {
  changed_ = true;
  if (options_.record) {
    RecordKey(key);
    AppendValueLine(record_, name, type, data);
  }
  int64_t found = key.ValuePosition(name);
  if (found < 0) {
    key.InsertValue(key.ValueCount(), RegValue(name, type, data));
    if (options_.undoable) {
      undo_.push_back(Step{Step::Kind::InsertedValue, &key, key.ValueCount() - 1, {}, {}});
    }
    return;
  }
  size_t position = static_cast<size_t>(found);
  RegValue old = key.ReplaceValue(position, key.Value(position).WithData(type, data));
  if (options_.undoable) {
    undo_.push_back(Step{Step::Kind::ReplacedValue, &key, position, {}, std::move(old)});
  }
}

bool TreeChange::RemoveValue(KeyNode& key, std::u16string_view name) {
  int64_t found = key.ValuePosition(name);
  if (found < 0) {
    return false;
  }
  changed_ = true;
  if (options_.record) {
    RecordKey(key);
    AppendValueRemoval(record_, key.Value(static_cast<size_t>(found)).name());
  }
  RegValue old = key.TakeValue(static_cast<size_t>(found));
  if (options_.undoable) {
    undo_.push_back(
        Step{Step::Kind::RemovedValue, &key, static_cast<size_t>(found), {}, std::move(old)});
  }
  return true;
}

void TreeChange::Undo(const Mark& mark) {
  // Newest first: each step finds the tree as it was right after it.
  while (undo_.size() > mark.undo) {
    Step step = std::move(undo_.back());
    undo_.pop_back();
    switch (step.kind) {
      case Step::Kind::AddedKey:
        removed_.push_back(step.node->DetachSubkey(step.position));
        break;
      case Step::Kind::RemovedKey:
        step.node->AttachSubkey(step.position, std::move(step.subtree));
        break;
      case Step::Kind::InsertedValue:
        step.node->TakeValue(step.position);
        break;
      case Step::Kind::ReplacedValue:
        step.node->ReplaceValue(step.position, std::move(step.value));
        break;
      case Step::Kind::RemovedValue:
        step.node->InsertValue(step.position, std::move(step.value));
        break;
    }
  }
  record_.resize(mark.record);
  recordKey_ = mark.recordKey;
  if (mark.undo == 0) {
    changed_ = false;
  }
}

void TreeChange::Commit() {
  for (Step& step : undo_) {
    if (step.subtree) {
      removed_.push_back(std::move(step.subtree));
    }
  }
  undo_.clear();
}

std::vector<std::unique_ptr<KeyNode>> TreeChange::TakeRemoved() {
  return std::move(removed_);
}

}  // namespace velmora
