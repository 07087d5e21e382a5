// The lines of a .reg text, one at a time, with their numbers: from a
// whole text in memory, or from text read a piece at a time, where memory
// stays within a few pieces and the longest line. A line ends at "\n",
// "\r\n" or "\r".
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace velmora::regtext {

class LineSource {
 public:
  // Appends the next piece of text to its first argument and sets its
  // second at the end; false on a read error, with *error set.
  using More = std::function<bool(std::string*, bool*, std::string*)>;

  explicit LineSource(std::string* error) : error_(error) {}

  // The whole text, already checked as UTF-8.
  void Whole(std::string_view text) { text_ = text; }
  // Text from more, a piece at a time; each line is checked as UTF-8 on its
  // own (an error naming it, or Latin-1 after ReadAsLatin1).
  void Stream(const More* more);
  // The bytes of a line that is not UTF-8 are Latin-1 (a REGEDIT4 file).
  void ReadAsLatin1() { latin1Allowed_ = true; }

  // The next line, without its end; false at the end of the text, or on an
  // error (failed(), with *error set). The line stays valid until the next
  // call.
  bool Next(std::string_view* line);
  // The number of the line Next gave last (from 1).
  size_t lineNumber() const { return lineNumber_; }
  bool failed() const { return failed_; }
  // The text at hand after the last line, for a look ahead.
  std::string_view Ahead() const {
    return position_ < text_.size() ? text_.substr(position_) : std::string_view();
  }

 private:
  bool HaveLine();
  bool CheckEncoding(std::string_view* line);

  std::string* error_;
  std::string_view text_;
  size_t position_ = 0;
  size_t lineNumber_ = 0;
  bool latin1Allowed_ = false;
  bool failed_ = false;
  const More* more_ = nullptr;
  size_t scanned_ = 0;  // where HaveLine's search for a line end goes on
  bool eof_ = true;
  std::string buffer_;  // the text read piece by piece, from the line being read
  std::string latin1_;
};

}  // namespace velmora::regtext
