#include "platform/registry/reg_line_source.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace velmora::regtext {
namespace {

struct Line {
  std::string text;
  size_t number;
  bool operator==(const Line&) const = default;
};

// Reads text from pieces of size bytes (the whole text at once for 0).
std::vector<Line> ReadLines(const std::string& text, size_t size, bool latin1, bool* ok,
                            std::string* error) {
  size_t at = 0;
  LineSource::More more = [&](std::string* out, bool* eof, std::string*) {
    out->append(text, at, size);
    at = std::min(text.size(), at + size);
    *eof = at == text.size();
    return true;
  };
  LineSource lines(error);
  if (size == 0) {
    lines.Whole(text);
  } else {
    lines.Stream(&more);
  }
  if (latin1) {
    lines.ReadAsLatin1();
  }
  std::vector<Line> read;
  std::string_view line;
  while (lines.Next(&line)) {
    read.push_back({std::string(line), lines.lineNumber()});
  }
  *ok = !lines.failed();
  return read;
}

TEST(RegLineSource, PiecesOfAnySizeGiveTheLinesOfTheWholeText) {
  const std::string texts[] = {
      "a\nb\n",
      "a\r\nb\r\n\r\nc",  // "\r\n" is one line end, also split between pieces
      "a\rb\r\rc\r",      // and so is a lone "\r"
      "\n\n\nlast without end",
      "long line " + std::string(100, 'x') + "\r\nshort\n",
      "",
  };
  for (const std::string& text : texts) {
    bool ok = false;
    std::string error;
    std::vector<Line> whole = ReadLines(text, 0, false, &ok, &error);
    ASSERT_TRUE(ok) << error;
    for (size_t size : {1, 2, 3, 7, 64}) {
      std::vector<Line> streamed = ReadLines(text, size, false, &ok, &error);
      EXPECT_TRUE(ok) << error;
      EXPECT_EQ(streamed, whole) << "pieces of " << size << " of \"" << text << "\"";
    }
  }
}

TEST(RegLineSource, AStreamedLineThatIsNotUtf8IsAnErrorOrLatin1) {
  const std::string text = "first\nsecond\nd\xE9j\xE0\nlast\n";
  for (size_t size : {1, 5, 100}) {
    bool ok = true;
    std::string error;
    std::vector<Line> read = ReadLines(text, size, false, &ok, &error);
    EXPECT_FALSE(ok);
    EXPECT_EQ(error, "line 3: the text is not valid UTF-8");
    EXPECT_EQ(read.size(), 2u);

    read = ReadLines(text, size, true, &ok, &error);
    EXPECT_TRUE(ok);
    ASSERT_EQ(read.size(), 4u);
    EXPECT_EQ(read[2], (Line{"d\xC3\xA9j\xC3\xA0", 3}));
  }
}

TEST(RegLineSource, AReadErrorStopsTheLines) {
  int calls = 0;
  LineSource::More more = [&](std::string* out, bool* eof, std::string* error) {
    if (++calls == 2) {
      *error = "cannot read";
      return false;
    }
    out->append("one\ntwo");
    *eof = false;
    return true;
  };
  std::string error;
  LineSource lines(&error);
  lines.Stream(&more);
  std::string_view line;
  ASSERT_TRUE(lines.Next(&line));
  EXPECT_EQ(line, "one");
  EXPECT_FALSE(lines.Next(&line));
  EXPECT_TRUE(lines.failed());
  EXPECT_EQ(error, "cannot read");
}

}  // namespace
}  // namespace velmora::regtext
