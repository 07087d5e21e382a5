// The device registry kept by this host: an implementation of
// PlatformRegistry over a KeyNode tree, either purely in memory (tests) or
// backed by the device's registry.reg.
//
// A file-backed hive writes every successful change to disk before the call
// returns, atomically (see WriteHostFileAtomically). Several hives - in one
// process or in several, like the program and velmora-device - can share a
// file: a change is made under an exclusive lock on "<file>.lock" after
// reloading what another hive wrote, and every call first reloads when the
// file changed. A file that cannot be parsed is reported with file and line
// and is never written over: until it is mended every call fails with
// StatusRegistryCorrupt.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "platform/host_io.h"
#include "platform/registry.h"
#include "platform/registry/key_tree.h"

namespace velmora {

class Hive final : public PlatformRegistry {
 public:
  // An empty registry in memory.
  Hive();
  ~Hive() override;

  // A registry backed by filePath. A missing file is an empty registry; the
  // file is created by the first change. nullptr and *error set
  // ("<file>: line N: ...") when the file cannot be read or parsed.
  static std::unique_ptr<Hive> Open(const std::string& filePath, std::string* error);

  Status OpenKey(HKEY parent, std::u16string_view path, uint32_t access, HKEY* result) override;
  Status CreateKey(HKEY parent, std::u16string_view path, uint32_t access, HKEY* result) override;
  Status CloseKey(HKEY key) override;
  Status EnumSubkey(HKEY key, uint32_t index, char16_t* name, uint32_t* capacity) override;
  Status EnumValue(HKEY key, uint32_t index, char16_t* name, uint32_t* nameCapacity,
                   uint32_t* type, uint8_t* data, uint32_t* dataSize) override;
  Status QueryValue(HKEY key, std::u16string_view name, uint32_t* type, uint8_t* data,
                    uint32_t* size) override;
  Status SetValue(HKEY key, std::u16string_view name, uint32_t type, const uint8_t* data,
                  uint32_t size) override;
  Status DeleteValue(HKEY key, std::u16string_view name) override;
  Status DeleteKey(HKEY parent, std::u16string_view path) override;

  // The whole registry as .reg text.
  std::string ExportText();
  // Applies .reg text as one change (as regedit imports a file: keys and
  // values are added or replaced, [-key] and "name"=- delete). Nothing is
  // changed when the text does not parse.
  bool ImportText(std::string_view text, std::string* error);

  // Why the last call failed with StatusRegistryCorrupt or
  // StatusRegistryIoFailed.
  const std::string& lastError() const { return lastError_; }

  // Makes saves fail at a chosen stage (see WriteFault); tests only.
  void SetWriteFaultForTesting(WriteFault fault) { writeFault_ = std::move(fault); }

 private:
  struct Resolved {
    Status status;
    KeyNode* node;
  };

  Resolved Resolve(HKEY key);
  Status Walk(HKEY parent, std::u16string_view path, bool create, KeyNode** node);
  HKEY NewHandle(std::shared_ptr<KeyNode> node);
  std::shared_ptr<KeyNode> SharedOf(KeyNode* node);

  // Reloads the file when another writer replaced it. False when the file
  // is unreadable or unparseable (lastError_ says why).
  bool Refresh();
  bool Load(std::unique_ptr<KeyNode>* tree);
  void Adopt(std::unique_ptr<KeyNode> tree);
  // Runs change under the exclusive lock and saves when it succeeded.
  Status Change(const std::function<Status()>& change);

  std::string filePath_;  // empty: memory only
  std::shared_ptr<KeyNode> root_;
  std::map<HKEY, std::shared_ptr<KeyNode>> handles_;
  HKEY nextHandle_ = 0x100;
  FileStamp stamp_;
  bool corrupt_ = false;
  std::string lastError_;
  WriteFault writeFault_;
};

}  // namespace velmora
