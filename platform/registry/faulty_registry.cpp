#include "platform/registry/faulty_registry.h"

#include "platform/text.h"

namespace velmora {

void FaultyRegistry::FailWhen(const std::string& operation, const std::u16string& subject,
                              Status status) {
  faults_.push_back(Fault{operation, subject, status});
}

std::u16string FaultyRegistry::PathOf(HKEY key) const {
  auto it = paths_.find(key);
  return it == paths_.end() ? std::u16string() : it->second;
}

std::u16string FaultyRegistry::Join(HKEY parent, std::u16string_view path) const {
  std::u16string base = PathOf(parent);
  if (base.empty()) {
    return std::u16string(path);
  }
  return path.empty() ? base : base + u"\\" + std::u16string(path);
}

Status FaultyRegistry::Check(const std::string& operation, const std::u16string& subject) {
  calls_.push_back(operation + " " + ToUtf8(subject));
  for (const Fault& fault : faults_) {
    if (fault.operation == operation && (fault.subject == u"*" || fault.subject == subject)) {
      return fault.status;
    }
  }
  return StatusSuccess;
}

Status FaultyRegistry::OpenKey(HKEY parent, std::u16string_view path, uint32_t access,
                               HKEY* result) {
  std::u16string full = Join(parent, path);
  if (Status status = Check("OpenKey", full)) {
    *result = 0;
    return status;
  }
  Status status = inner_.OpenKey(parent, path, access, result);
  if (status == StatusSuccess) {
    paths_[*result] = full;
  }
  return status;
}

Status FaultyRegistry::CreateKey(HKEY parent, std::u16string_view path, uint32_t access,
                                 HKEY* result) {
  std::u16string full = Join(parent, path);
  if (Status status = Check("CreateKey", full)) {
    *result = 0;
    return status;
  }
  Status status = inner_.CreateKey(parent, path, access, result);
  if (status == StatusSuccess) {
    paths_[*result] = full;
  }
  return status;
}

Status FaultyRegistry::CloseKey(HKEY key) {
  if (Status status = Check("CloseKey", PathOf(key))) {
    return status;
  }
  Status status = inner_.CloseKey(key);
  if (key != HKEY_LOCAL_MACHINE) {
    paths_.erase(key);
  }
  return status;
}

Status FaultyRegistry::EnumSubkey(HKEY key, uint32_t index, char16_t* name, uint32_t* capacity) {
  if (Status status = Check("EnumSubkey", PathOf(key))) {
    return status;
  }
  return inner_.EnumSubkey(key, index, name, capacity);
}

Status FaultyRegistry::EnumValue(HKEY key, uint32_t index, char16_t* name, uint32_t* nameCapacity,
                                 uint32_t* type, uint8_t* data, uint32_t* dataSize) {
  if (Status status = Check("EnumValue", PathOf(key))) {
    return status;
  }
  return inner_.EnumValue(key, index, name, nameCapacity, type, data, dataSize);
}

Status FaultyRegistry::QueryValue(HKEY key, std::u16string_view name, uint32_t* type, uint8_t* data,
                                  uint32_t* size) {
  if (Status status = Check("QueryValue", PathOf(key) + u":" + std::u16string(name))) {
    return status;
  }
  return inner_.QueryValue(key, name, type, data, size);
}

Status FaultyRegistry::SetValue(HKEY key, std::u16string_view name, uint32_t type,
                                const uint8_t* data, uint32_t size) {
  if (Status status = Check("SetValue", PathOf(key) + u":" + std::u16string(name))) {
    return status;
  }
  return inner_.SetValue(key, name, type, data, size);
}

Status FaultyRegistry::DeleteValue(HKEY key, std::u16string_view name) {
  if (Status status = Check("DeleteValue", PathOf(key) + u":" + std::u16string(name))) {
    return status;
  }
  return inner_.DeleteValue(key, name);
}

Status FaultyRegistry::DeleteKey(HKEY parent, std::u16string_view path) {
  if (Status status = Check("DeleteKey", Join(parent, path))) {
    return status;
  }
  return inner_.DeleteKey(parent, path);
}

}  // namespace velmora
