#include "platform/registry/reg_line_source.h"

#include <algorithm>

#include "platform/registry/reg_text_common.h"
#include "platform/registry/reg_text_decoder.h"

namespace velmora::regtext {

void LineSource::Stream(const More* more) {
  more_ = more;
  eof_ = false;
}

// Reads on until the text from position_ holds a whole line (its end
// and the byte after it, to tell "\r\n"), or all there is.
// Bytes already searched are not searched again, so that a long line
// costs its length, not its length times the number of pieces.
bool LineSource::HaveLine() {
  while (!eof_) {
    size_t end = text_.find_first_of("\r\n", std::max(position_, scanned_));
    if (end != std::string_view::npos && end + 1 < text_.size()) {
      return true;
    }
    scanned_ = end != std::string_view::npos ? end : text_.size();
    buffer_.erase(0, position_);
    scanned_ -= std::min(scanned_, position_);
    position_ = 0;
    if (!(*more_)(&buffer_, &eof_, error_)) {
      failed_ = true;
      return false;
    }
    text_ = buffer_;
  }
  return true;
}

// A line read piece by piece is checked on its own: not UTF-8 is an
// error, or Latin-1 in a REGEDIT4 file.
bool LineSource::CheckEncoding(std::string_view* line) {
  size_t invalid = FindInvalidUtf8(*line);
  if (invalid == std::string_view::npos) {
    return true;
  }
  if (!latin1Allowed_) {
    failed_ = true;
    *error_ = LineError(lineNumber_ + 1, "the text is not valid UTF-8");
    return false;
  }
  latin1_.clear();
  AppendLatin1AsUtf8(latin1_, *line);
  *line = latin1_;
  return true;
}

bool LineSource::Next(std::string_view* line) {
  if (more_ != nullptr && !HaveLine()) {
    return false;
  }
  if (position_ >= text_.size()) {
    *line = {};
    return false;
  }
  size_t end = position_;
  while (end < text_.size() && text_[end] != '\n' && text_[end] != '\r') {
    ++end;
  }
  *line = text_.substr(position_, end - position_);
  if (more_ != nullptr && !CheckEncoding(line)) {
    return false;
  }
  if (end < text_.size() && text_[end] == '\r' && end + 1 < text_.size() &&
      text_[end + 1] == '\n') {
    ++end;
  }
  position_ = end + 1;
  ++lineNumber_;
  return true;
}

}  // namespace velmora::regtext
