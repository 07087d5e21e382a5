// The reader's front: a file's bytes, one journal record's lines or a
// stream of pieces go through the decoder and the line source to the
// parser, and from there into a tree in memory or the caller's sink.
#include "platform/registry/reg_reader.h"

#include <span>
#include <vector>

#include "platform/registry/reg_line_source.h"
#include "platform/registry/reg_parser.h"
#include "platform/registry/reg_text_common.h"
#include "platform/registry/reg_text_decoder.h"
#include "platform/text.h"

namespace velmora {

namespace {

// The registry the lines go into: a tree in memory.
class TreeSink final : public RegSink {
 public:
  TreeSink(KeyNode& root, TreeChange& change) : root_(root), change_(change) {}

  bool Key(std::span<const std::u16string> path, bool remove, std::string*) override {
    if (remove) {
      current_ = nullptr;
      chain_.clear();
      KeyNode* parent = &root_;
      for (size_t k = 0; parent != nullptr && k + 1 < path.size(); ++k) {
        parent = parent->FindSubkey(path[k]);
      }
      if (parent != nullptr) {
        change_.RemoveKey(*parent, path.back());
      }
      return true;
    }
    // Files list keys one below another: start from what the last key line
    // already walked.
    if (chain_.empty()) {
      chain_.push_back(&root_);
    }
    size_t depth = 0;
    while (depth < path.size() && depth + 1 < chain_.size() &&
           EqualsIgnoringCaseFast(chain_[depth + 1]->name(), path[depth])) {
      ++depth;
    }
    chain_.resize(depth + 1);
    KeyNode* node = chain_.back();
    for (; depth < path.size(); ++depth) {
      node = change_.CreateKey(*node, path[depth]);
      chain_.push_back(node);
    }
    current_ = node;
    return true;
  }
  void ExpectValues(size_t count) override {
    current_->ReserveValues(current_->ValueCount() + count);
  }
  bool SetValue(std::u16string_view name, uint32_t type, std::span<const uint8_t> data,
                std::string*) override {
    change_.SetValue(*current_, name, type, data);
    return true;
  }
  bool RemoveValue(std::u16string_view name, std::string*) override {
    change_.RemoveValue(*current_, name);
    return true;
  }

 private:
  static bool EqualsIgnoringCaseFast(std::u16string_view a, std::u16string_view b) {
    return a == b || EqualsIgnoringCase(a, b);
  }

  KeyNode& root_;
  TreeChange& change_;
  KeyNode* current_ = nullptr;
  std::vector<KeyNode*> chain_;  // root and the keys of the last key line
};

}  // namespace

bool ReadRegText(std::string_view bytes, KeyNode& root, TreeChange& change, std::string* error) {
  std::string storage;
  std::string_view text;
  if (!regtext::DecodeRegBytes(bytes, &storage, &text, error)) {
    return false;
  }
  TreeSink sink(root, change);
  regtext::LineSource lines(error);
  lines.Whole(text);
  return regtext::Parser(lines, sink, error).Run();
}

bool ReadRegLines(std::string_view lines, KeyNode& root, TreeChange& change, std::string* error) {
  size_t invalid = regtext::FindInvalidUtf8(lines);
  if (invalid != std::string_view::npos) {
    *error = regtext::LineError(regtext::LineOf(lines, invalid), "the text is not valid UTF-8");
    return false;
  }
  TreeSink sink(root, change);
  regtext::LineSource source(error);
  source.Whole(lines);
  return regtext::Parser(source, sink, error).RunLines();
}

bool ReadRegText(std::string_view bytes, KeyNode& root, std::string* error) {
  TreeChange change(TreeChange::Options{});
  return ReadRegText(bytes, root, change, error);
}

bool ReadRegStream(const std::function<bool(std::string*, bool*, std::string*)>& read,
                   RegSink& sink, std::string* error) {
  regtext::StreamDecoder decoder(read);
  regtext::LineSource::More more = [&](std::string* text, bool* eof, std::string* why) {
    return decoder.More(text, eof, why);
  };
  regtext::LineSource lines(error);
  lines.Stream(&more);
  return regtext::Parser(lines, sink, error).Run();
}

}  // namespace velmora
