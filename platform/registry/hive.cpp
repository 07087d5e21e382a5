#include "platform/registry/hive.h"

#include <algorithm>
#include <cstring>

#include "platform/registry/reg_format.h"

namespace velmora {

namespace {

constexpr size_t MaxNameLength = 255;

bool ValidName(std::u16string_view name) {
  if (name.size() > MaxNameLength) {
    return false;
  }
  return std::none_of(name.begin(), name.end(), [](char16_t c) { return c < 0x20; });
}

bool ValidKeyName(std::u16string_view name) {
  return !name.empty() && ValidName(name);
}

// Copies name with its terminator into buffer when it fits.
Status CopyName(const std::u16string& name, char16_t* buffer, uint32_t* capacity) {
  if (buffer == nullptr || capacity == nullptr) {
    return StatusInvalidParameter;
  }
  if (name.size() + 1 > *capacity) {
    return StatusMoreData;
  }
  std::copy(name.begin(), name.end(), buffer);
  buffer[name.size()] = 0;
  *capacity = static_cast<uint32_t>(name.size());
  return StatusSuccess;
}

}  // namespace

Hive::Hive() : root_(std::make_shared<KeyNode>(u"")) {}

Hive::~Hive() = default;

std::unique_ptr<Hive> Hive::Open(const std::string& filePath, std::string* error) {
  auto hive = std::make_unique<Hive>();
  hive->filePath_ = filePath;
  FileLock lock(filePath + ".lock", FileLock::Mode::Shared);
  std::unique_ptr<KeyNode> tree;
  if (!hive->Load(&tree)) {
    *error = hive->lastError_;
    return nullptr;
  }
  hive->Adopt(std::move(tree));
  return hive;
}

bool Hive::Load(std::unique_ptr<KeyNode>* tree) {
  FileStamp stamp = StampOf(filePath_);
  *tree = std::make_unique<KeyNode>(u"");
  if (stamp.exists) {
    std::string bytes;
    std::string error;
    if (!ReadHostFile(filePath_, &bytes, &error)) {
      lastError_ = error;
      return false;
    }
    if (!ParseRegText(bytes, **tree, &error)) {
      lastError_ = filePath_ + ": " + error;
      return false;
    }
  }
  stamp_ = stamp;
  return true;
}

void Hive::Adopt(std::unique_ptr<KeyNode> tree) {
  // Open handles follow their keys by path into the new tree; a key that is
  // gone leaves its handle failing as deleted.
  std::shared_ptr<KeyNode> fresh(std::move(tree));
  for (auto& [handle, node] : handles_) {
    if (!node || node->deleted()) {
      node = nullptr;
      continue;
    }
    std::shared_ptr<KeyNode> target = fresh;
    const std::u16string path = node->Path();
    for (std::u16string_view part : SplitKeyPath(path)) {
      target = target ? target->SharedSubkey(part) : nullptr;
    }
    node = target;
  }
  root_ = fresh;
  corrupt_ = false;
}

bool Hive::Refresh() {
  if (filePath_.empty()) {
    return true;
  }
  if (!corrupt_ && StampOf(filePath_) == stamp_) {
    return true;
  }
  std::unique_ptr<KeyNode> tree;
  if (!Load(&tree)) {
    corrupt_ = true;
    return false;
  }
  Adopt(std::move(tree));
  return true;
}

Status Hive::Change(const std::function<Status()>& change) {
  if (filePath_.empty()) {
    return change();
  }
  FileLock lock(filePath_ + ".lock", FileLock::Mode::Exclusive);
  if (!lock.held()) {
    lastError_ = "cannot lock " + filePath_ + ".lock";
    return StatusRegistryIoFailed;
  }
  if (!Refresh()) {
    return StatusRegistryCorrupt;
  }
  Status status = change();
  if (status != StatusSuccess) {
    return status;
  }
  std::string error;
  if (!WriteHostFileAtomically(filePath_, FormatRegText(*root_), &error, writeFault_)) {
    lastError_ = error;
    // The file still holds the state before this change: go back to it.
    std::unique_ptr<KeyNode> tree;
    if (Load(&tree)) {
      Adopt(std::move(tree));
    } else {
      corrupt_ = true;
    }
    return StatusRegistryIoFailed;
  }
  stamp_ = StampOf(filePath_);
  return StatusSuccess;
}

Hive::Resolved Hive::Resolve(HKEY key) {
  if (!Refresh()) {
    return {StatusRegistryCorrupt, nullptr};
  }
  if (key == HKEY_LOCAL_MACHINE) {
    return {StatusSuccess, root_.get()};
  }
  auto it = handles_.find(key);
  if (it == handles_.end()) {
    return {StatusInvalidHandle, nullptr};
  }
  if (!it->second || it->second->deleted()) {
    return {StatusKeyDeleted, nullptr};
  }
  return {StatusSuccess, it->second.get()};
}

Status Hive::Walk(HKEY parent, std::u16string_view path, bool create, KeyNode** node) {
  Resolved start = Resolve(parent);
  if (start.status != StatusSuccess) {
    return start.status;
  }
  KeyNode* current = start.node;
  for (std::u16string_view part : SplitKeyPath(path)) {
    if (!ValidKeyName(part)) {
      return StatusInvalidParameter;
    }
    KeyNode* next = current->FindSubkey(part);
    if (next == nullptr) {
      if (!create) {
        return StatusFileNotFound;
      }
      next = current->AddSubkey(std::u16string(part));
    }
    current = next;
  }
  *node = current;
  return StatusSuccess;
}

std::shared_ptr<KeyNode> Hive::SharedOf(KeyNode* node) {
  if (node->parent() == nullptr) {
    return root_;
  }
  return node->parent()->SharedSubkey(node->name());
}

HKEY Hive::NewHandle(std::shared_ptr<KeyNode> node) {
  HKEY handle = nextHandle_++;
  handles_[handle] = std::move(node);
  return handle;
}

Status Hive::OpenKey(HKEY parent, std::u16string_view path, uint32_t, HKEY* result) {
  *result = 0;
  KeyNode* node = nullptr;
  Status status = Walk(parent, path, false, &node);
  if (status == StatusSuccess) {
    *result = NewHandle(SharedOf(node));
  }
  return status;
}

Status Hive::CreateKey(HKEY parent, std::u16string_view path, uint32_t, HKEY* result) {
  *result = 0;
  KeyNode* node = nullptr;
  Status status = Walk(parent, path, false, &node);
  if (status == StatusFileNotFound) {
    // Create under the lock, re-walking in case another writer got there.
    status = Change([&] { return Walk(parent, path, true, &node); });
  }
  if (status == StatusSuccess) {
    *result = NewHandle(SharedOf(node));
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
  Resolved resolved = Resolve(key);
  if (resolved.status != StatusSuccess) {
    return resolved.status;
  }
  if (index >= resolved.node->SubkeyCount()) {
    return StatusNoMoreItems;
  }
  return CopyName(resolved.node->Subkey(index)->name(), name, capacity);
}

Status Hive::EnumValue(HKEY key, uint32_t index, char16_t* name, uint32_t* nameCapacity,
                       uint32_t* type, uint8_t* data, uint32_t* dataSize) {
  Resolved resolved = Resolve(key);
  if (resolved.status != StatusSuccess) {
    return resolved.status;
  }
  const std::vector<RegValue>& values = resolved.node->values();
  if (index >= values.size()) {
    return StatusNoMoreItems;
  }
  const RegValue& value = values[index];
  if (name == nullptr || nameCapacity == nullptr) {
    return StatusInvalidParameter;
  }
  if (value.name.size() + 1 > *nameCapacity) {
    return StatusMoreData;
  }
  if (data != nullptr && (dataSize == nullptr || value.data.size() > *dataSize)) {
    if (dataSize != nullptr) {
      *dataSize = static_cast<uint32_t>(value.data.size());
    }
    return StatusMoreData;
  }
  CopyName(value.name, name, nameCapacity);
  if (type != nullptr) {
    *type = value.type;
  }
  if (data != nullptr) {
    std::copy(value.data.begin(), value.data.end(), data);
  }
  if (dataSize != nullptr) {
    *dataSize = static_cast<uint32_t>(value.data.size());
  }
  return StatusSuccess;
}

Status Hive::QueryValue(HKEY key, std::u16string_view name, uint32_t* type, uint8_t* data,
                        uint32_t* size) {
  Resolved resolved = Resolve(key);
  if (resolved.status != StatusSuccess) {
    return resolved.status;
  }
  const RegValue* value = resolved.node->FindValue(name);
  if (value == nullptr) {
    return StatusFileNotFound;
  }
  if (data != nullptr && size == nullptr) {
    return StatusInvalidParameter;
  }
  if (data != nullptr && value->data.size() > *size) {
    *size = static_cast<uint32_t>(value->data.size());
    return StatusMoreData;
  }
  if (type != nullptr) {
    *type = value->type;
  }
  if (data != nullptr) {
    std::copy(value->data.begin(), value->data.end(), data);
  }
  if (size != nullptr) {
    *size = static_cast<uint32_t>(value->data.size());
  }
  return StatusSuccess;
}

Status Hive::SetValue(HKEY key, std::u16string_view name, uint32_t type, const uint8_t* data,
                      uint32_t size) {
  if (!ValidName(name) || (data == nullptr && size != 0)) {
    return StatusInvalidParameter;
  }
  std::vector<uint8_t> bytes(data, data + size);
  return Change([&] {
    Resolved resolved = Resolve(key);
    if (resolved.status == StatusSuccess) {
      resolved.node->SetValue(name, type, std::move(bytes));
    }
    return resolved.status;
  });
}

Status Hive::DeleteValue(HKEY key, std::u16string_view name) {
  return Change([&] {
    Resolved resolved = Resolve(key);
    if (resolved.status != StatusSuccess) {
      return resolved.status;
    }
    return resolved.node->RemoveValue(name) ? StatusSuccess : StatusFileNotFound;
  });
}

Status Hive::DeleteKey(HKEY parent, std::u16string_view path) {
  if (path.empty()) {
    return StatusAccessDenied;
  }
  return Change([&] {
    KeyNode* node = nullptr;
    Status status = Walk(parent, path, false, &node);
    if (status != StatusSuccess) {
      return status;
    }
    if (node->parent() == nullptr || node->SubkeyCount() != 0) {
      return StatusAccessDenied;
    }
    node->parent()->RemoveSubkey(node->name());
    return StatusSuccess;
  });
}

std::string Hive::ExportText() {
  Refresh();
  return FormatRegText(*root_);
}

bool Hive::ImportText(std::string_view text, std::string* error) {
  // Check the whole text first, so that a bad line changes nothing.
  KeyNode scratch(u"");
  if (!ParseRegText(text, scratch, error)) {
    return false;
  }
  Status status = Change([&] {
    std::string ignored;
    ParseRegText(text, *root_, &ignored);
    return StatusSuccess;
  });
  if (status != StatusSuccess) {
    *error = lastError_;
    return false;
  }
  return true;
}

}  // namespace velmora
