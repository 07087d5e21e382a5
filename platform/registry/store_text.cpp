#include "platform/registry/store_text.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/registry/reg_reader.h"
#include "platform/registry/reg_writer.h"
#include "platform/text.h"

namespace velmora {

namespace {

bool IsActiveOrBelow(std::span<const std::u16string> path) {
  return path.size() >= 2 && EqualsIgnoringCase(path[0], u"Drivers") &&
         EqualsIgnoringCase(path[1], u"Active");
}

// Applies the lines of a .reg text to the store's records.
class StoreSink final : public RegSink {
 public:
  StoreSink(StoreTree& tree, const std::string& treeError, const ImportOptions& options,
            uint64_t activeKey, ImportResult* result)
      : tree_(tree),
        treeError_(treeError),
        options_(options),
        activeKey_(activeKey),
        result_(result) {}

  bool Key(std::span<const std::u16string> path, bool remove, std::string* error) override {
    skipping_ = false;
    if (options_.keepActive && IsActiveOrBelow(path)) {
      skipping_ = true;
      result_->skippedActive = true;
      chain_.clear();
      return true;
    }
    if (remove) {
      chain_.clear();
      uint64_t id = store::RootKey;
      Status status = StatusSuccess;
      for (size_t k = 0; status == StatusSuccess && k < path.size(); ++k) {
        status = tree_.FindChild(id, path[k], &id);
      }
      bool kept = false;
      if (status == StatusSuccess) {
        status = tree_.RemoveTree(id, options_.keepActive ? activeKey_ : 0, &kept);
      }
      result_->skippedActive = result_->skippedActive || kept;
      return status == StatusFileNotFound || Ok(status, error);
    }
    // Files list keys one below another: start from what the last key line
    // already walked.
    size_t depth = 0;
    while (depth < path.size() && depth < chain_.size() &&
           EqualsIgnoringCase(chain_[depth].first, path[depth])) {
      ++depth;
    }
    chain_.resize(depth);
    uint64_t id = chain_.empty() ? store::RootKey : chain_.back().second;
    for (; depth < path.size(); ++depth) {
      uint64_t next = 0;
      Status status = tree_.FindChild(id, path[depth], &next);
      if (status == StatusFileNotFound) {
        status = tree_.CreateChild(id, path[depth], &next);
      }
      if (!Ok(status, error)) {
        return false;
      }
      chain_.emplace_back(path[depth], next);
      id = next;
    }
    current_ = id;
    return true;
  }

  bool SetValue(std::u16string_view name, uint32_t type, std::span<const uint8_t> data,
                std::string* error) override {
    return skipping_ || Ok(tree_.SetValue(current_, name, type, data), error);
  }

  bool RemoveValue(std::u16string_view name, std::string* error) override {
    if (skipping_) {
      return true;
    }
    Status status = tree_.RemoveValue(current_, name);
    return status == StatusFileNotFound || Ok(status, error);
  }

 private:
  bool Ok(Status status, std::string* error) {
    if (status != StatusSuccess) {
      *error = treeError_.empty() ? "the registry cannot be changed" : treeError_;
      return false;
    }
    return true;
  }

  StoreTree& tree_;
  const std::string& treeError_;
  const ImportOptions& options_;
  uint64_t activeKey_;
  ImportResult* result_;
  std::vector<std::pair<std::u16string, uint64_t>> chain_;
  uint64_t current_ = store::RootKey;
  bool skipping_ = false;
};

// Empties the registry: every key below the root and the root's values.
Status Clear(StoreTree& tree) {
  std::vector<uint64_t> children;
  std::vector<std::u16string> values;
  Status status = tree.ForEachChild(store::RootKey, [&](uint64_t id, const store::KeyRecord&) {
    children.push_back(id);
    return StatusSuccess;
  });
  if (status == StatusSuccess) {
    status = tree.ForEachValue(store::RootKey, [&](const store::ValueRecord& value) {
      values.push_back(value.name);
      return StatusSuccess;
    });
  }
  for (uint64_t id : children) {
    bool kept = false;
    if (status == StatusSuccess) {
      status = tree.RemoveTree(id, 0, &kept);
    }
  }
  for (const std::u16string& name : values) {
    if (status == StatusSuccess) {
      status = tree.RemoveValue(store::RootKey, name);
    }
  }
  return status;
}

}  // namespace

bool ImportRegStream(LmdbRegistry& registry,
                     const std::function<bool(std::string*, bool*, std::string*)>& read,
                     const ImportOptions& options, ImportResult* result, std::string* error) {
  std::string parseError;
  bool parsed = true;
  Status status = registry.Change([&](StoreTree& tree) {
    const std::string& treeError = tree.error();
    Status cleared = options.replace ? Clear(tree) : StatusSuccess;
    if (cleared != StatusSuccess) {
      return cleared;
    }
    uint64_t active = 0;
    if (options.keepActive) {
      uint64_t drivers = 0;
      if (tree.FindChild(store::RootKey, u"Drivers", &drivers) == StatusSuccess) {
        tree.FindChild(drivers, u"Active", &active);
      }
    }
    StoreSink sink(tree, treeError, options, active, result);
    if (!ReadRegStream(read, sink, &parseError)) {
      parsed = false;
      return StatusInvalidParameter;
    }
    return options.then ? options.then() : StatusSuccess;
  });
  if (status == StatusSuccess) {
    return true;
  }
  *error = !parsed && !parseError.empty() ? parseError : registry.lastError();
  if (error->empty()) {
    *error = "the registry cannot be changed";
  }
  return false;
}

std::function<bool(std::string*, bool*, std::string*)> ReadFromDescriptor(int fd, size_t limit) {
  auto total = std::make_shared<size_t>(0);
  return [fd, limit, total](std::string* out, bool* eof, std::string* error) {
    char buffer[1 << 16];
    ssize_t n;
    do {
      n = ::read(fd, buffer, sizeof buffer);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
      *error = std::string("cannot read: ") + std::strerror(errno);
      return false;
    }
    *total += static_cast<size_t>(n);
    if (*total > limit) {
      *error = "larger than " + std::to_string(limit >> 20) + " MiB";
      return false;
    }
    out->append(buffer, static_cast<size_t>(n));
    *eof = n == 0;
    return true;
  };
}

bool LmdbRegistry::Export(const std::function<bool(std::string_view)>& write, std::string* error) {
  std::string out(RegFileHeader);
  out.push_back('\n');
  bool written = true;
  auto flush = [&](bool always) {
    if (written && (always || out.size() >= (size_t{1} << 16))) {
      written = write(out);
      out.clear();
    }
    return written;
  };
  std::u16string path;
  std::function<Status(StoreTree&, uint64_t)> visit = [&](StoreTree& tree, uint64_t id) {
    AppendKeyLine(out, path);
    Status status = tree.ForEachValue(id, [&](const store::ValueRecord& value) {
      AppendValueLine(out, value.name, value.type,
                      std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(value.data.data()),
                                               value.data.size()));
      return StatusSuccess;
    });
    out.push_back('\n');
    if (status == StatusSuccess && !flush(false)) {
      return StatusRegistryIoFailed;
    }
    return status != StatusSuccess
               ? status
               : tree.ForEachChild(id, [&](uint64_t child, const store::KeyRecord& record) {
                   size_t length = path.size();
                   if (!path.empty()) {
                     path.push_back(u'\\');
                   }
                   path += record.name;
                   Status visited = visit(tree, child);
                   path.resize(length);
                   return visited;
                 });
  };
  Status status = Read([&](StoreTree& tree) { return visit(tree, store::RootKey); });
  if (status == StatusSuccess && flush(true)) {
    return true;
  }
  if (error->empty()) {
    *error = written ? lastError_ : "cannot write the export";
  }
  return false;
}

std::string LmdbRegistry::ExportText() {
  std::string text;
  std::string error;
  Export(
      [&](std::string_view piece) {
        text += piece;
        return true;
      },
      &error);
  return text;
}

bool LmdbRegistry::ImportText(std::string_view text, std::string* error) {
  bool given = false;
  auto read = [&](std::string* out, bool* eof, std::string*) {
    if (!given) {
      out->append(text);
      given = true;
    }
    *eof = true;
    return true;
  };
  ImportResult result;
  return ImportRegStream(*this, read, ImportOptions{}, &result, error);
}

}  // namespace velmora
