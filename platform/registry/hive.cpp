#include "platform/registry/hive.h"

#include <algorithm>

#include "platform/registry/reg_reader.h"
#include "platform/registry/reg_writer.h"
#include "platform/registry/registry_limits.h"
#include "platform/registry/value_copy.h"

namespace velmora {

Hive::Hive() : root_(std::make_unique<KeyNode>()) {}

Hive::~Hive() = default;

void Hive::DropRemoved(TreeChange& change) {
  std::vector<std::unique_ptr<KeyNode>> removed = change.TakeRemoved();
  if (removed.empty()) {
    return;
  }
  for (auto& [handle, node] : handles_) {
    if (node != nullptr && node->deleted()) {
      node = nullptr;
    }
  }
}

Status Hive::Change(const std::function<Status(TreeChange&)>& change) {
  if (open_ != nullptr) {
    TreeChange::Mark mark = open_->MarkHere();
    Status status = change(*open_);
    if (status != StatusSuccess) {
      open_->Undo(mark);
    }
    return status;
  }
  TreeChange memory(TreeChange::Options{.undoable = true});
  open_ = &memory;
  Status status = change(memory);
  open_ = nullptr;
  if (status != StatusSuccess) {
    memory.UndoAll();
  }
  memory.Commit();
  DropRemoved(memory);
  return status;
}

Status Hive::Atomically(const std::function<Status()>& change) {
  return Change([&](TreeChange&) { return change(); });
}

Status Hive::NextNumber(std::string_view counter, uint32_t first, uint32_t* value) {
  auto [it, added] = counters_.try_emplace(std::string(counter), first);
  *value = it->second++;
  return StatusSuccess;
}

Status Hive::Resolve(HKEY key, KeyNode** node) {
  *node = nullptr;
  if (key == HKEY_LOCAL_MACHINE) {
    *node = root_.get();
    return StatusSuccess;
  }
  auto it = handles_.find(key);
  if (it == handles_.end()) {
    return StatusInvalidHandle;
  }
  if (it->second == nullptr || it->second->deleted()) {
    return StatusKeyDeleted;
  }
  *node = it->second;
  return StatusSuccess;
}

Status Hive::Walk(KeyNode* start, std::u16string_view path, TreeChange* create, KeyNode** node) {
  KeyNode* current = start;
  for (std::u16string_view part : SplitKeyPath(path)) {
    if (!IsValidKeyName(part)) {
      return StatusInvalidParameter;
    }
    KeyNode* next = current->FindSubkey(part);
    if (next == nullptr) {
      if (create == nullptr) {
        return StatusFileNotFound;
      }
      if (current->Depth() >= MaxKeyDepth) {
        return StatusInvalidParameter;
      }
      next = create->CreateKey(*current, part);
    }
    current = next;
  }
  *node = current;
  return StatusSuccess;
}

HKEY Hive::NewHandle(KeyNode* node) {
  HKEY handle = nextHandle_++;
  handles_[handle] = node;
  return handle;
}

Status Hive::OpenKey(HKEY parent, std::u16string_view path, uint32_t, HKEY* result) {
  *result = 0;
  KeyNode* start = nullptr;
  Status status = Resolve(parent, &start);
  KeyNode* node = nullptr;
  if (status == StatusSuccess) {
    status = Walk(start, path, nullptr, &node);
  }
  if (status == StatusSuccess) {
    *result = NewHandle(node);
  }
  return status;
}

Status Hive::CreateKey(HKEY parent, std::u16string_view path, uint32_t access, HKEY* result) {
  // An existing key is opened without taking the lock for a change.
  Status status = OpenKey(parent, path, access, result);
  if (status != StatusFileNotFound) {
    return status;
  }
  KeyNode* node = nullptr;
  status = Change([&](TreeChange& change) {
    KeyNode* start = nullptr;
    Status resolved = Resolve(parent, &start);
    return resolved == StatusSuccess ? Walk(start, path, &change, &node) : resolved;
  });
  if (status == StatusSuccess) {
    *result = NewHandle(node);
  }
  return status;
}

Status Hive::CloseKey(HKEY key) {
  if (key == HKEY_LOCAL_MACHINE) {
    return StatusSuccess;
  }
  return handles_.erase(key) == 1 ? StatusSuccess : StatusInvalidHandle;
}

Status Hive::EnumSubkey(HKEY key, uint32_t index, char16_t* name, uint32_t* capacity) {
  KeyNode* node = nullptr;
  Status status = Resolve(key, &node);
  if (status != StatusSuccess) {
    return status;
  }
  if (index >= node->SubkeyCount()) {
    return StatusNoMoreItems;
  }
  return CopyName(node->Subkey(index)->name(), name, capacity);
}

Status Hive::EnumValue(HKEY key, uint32_t index, char16_t* name, uint32_t* nameCapacity,
                       uint32_t* type, uint8_t* data, uint32_t* dataSize) {
  KeyNode* node = nullptr;
  Status status = Resolve(key, &node);
  if (status != StatusSuccess) {
    return status;
  }
  if (index >= node->ValueCount()) {
    return StatusNoMoreItems;
  }
  const RegValue& value = node->Value(index);
  return CopyEnumeratedValue(value.name(), value.type(), value.data(), name, nameCapacity, type,
                             data, dataSize);
}

Status Hive::QueryValue(HKEY key, std::u16string_view name, uint32_t* type, uint8_t* data,
                        uint32_t* size) {
  KeyNode* node = nullptr;
  Status status = Resolve(key, &node);
  if (status != StatusSuccess) {
    return status;
  }
  const RegValue* value = node->FindValue(name);
  if (value == nullptr) {
    return StatusFileNotFound;
  }
  return CopyQueriedValue(value->type(), value->data(), type, data, size);
}

Status Hive::SetValue(HKEY key, std::u16string_view name, uint32_t type, const uint8_t* data,
                      uint32_t size) {
  if (!IsValidValueName(name) || (data == nullptr && size != 0) || size > MaxValueSize) {
    return StatusInvalidParameter;
  }
  return Change([&](TreeChange& change) {
    KeyNode* node = nullptr;
    Status status = Resolve(key, &node);
    if (status == StatusSuccess) {
      change.SetValue(*node, name, type, std::span<const uint8_t>(data, size));
    }
    return status;
  });
}

Status Hive::DeleteValue(HKEY key, std::u16string_view name) {
  return Change([&](TreeChange& change) {
    KeyNode* node = nullptr;
    Status status = Resolve(key, &node);
    if (status != StatusSuccess) {
      return status;
    }
    return change.RemoveValue(*node, name) ? StatusSuccess : StatusFileNotFound;
  });
}

Status Hive::DeleteKey(HKEY parent, std::u16string_view path) {
  if (path.empty()) {
    return StatusAccessDenied;
  }
  return Change([&](TreeChange& change) {
    KeyNode* start = nullptr;
    KeyNode* node = nullptr;
    Status status = Resolve(parent, &start);
    if (status == StatusSuccess) {
      status = Walk(start, path, nullptr, &node);
    }
    if (status != StatusSuccess) {
      return status;
    }
    if (node->parent() == nullptr || node->SubkeyCount() != 0) {
      return StatusAccessDenied;
    }
    change.RemoveKey(*node->parent(), node->name());
    return StatusSuccess;
  });
}

std::string Hive::ExportText() {
  return FormatRegText(*root_);
}

bool Hive::ImportText(std::string_view text, std::string* error) {
  std::string parseError;
  Status status = Change([&](TreeChange& change) {
    return ReadRegText(text, *root_, change, &parseError) ? StatusSuccess : StatusInvalidParameter;
  });
  if (status == StatusSuccess) {
    return true;
  }
  *error = parseError.empty() ? lastError_ : parseError;
  return false;
}

}  // namespace velmora
