#include "platform/registry/reg_text_decoder.h"

#include <string>

#include <gtest/gtest.h>

#include "tests/test_support.h"

namespace velmora::regtext {
namespace {

using testing::Utf16File;

// Decodes bytes handed over in pieces of size bytes.
bool DecodeInPieces(const std::string& bytes, size_t size, std::string* text, std::string* error) {
  size_t at = 0;
  StreamDecoder::Read read = [&](std::string* out, bool* eof, std::string*) {
    out->append(bytes, at, size);
    at = std::min(bytes.size(), at + size);
    *eof = at == bytes.size();
    return true;
  };
  StreamDecoder decoder(read);
  text->clear();
  bool eof = false;
  while (!eof) {
    if (!decoder.More(text, &eof, error)) {
      return false;
    }
  }
  return true;
}

TEST(RegTextDecoder, PiecesOfAnySizeDecodeAsTheWholeFile) {
  const std::string files[] = {
      "plain\r\ntext\r\n",
      "\xEF\xBB\xBFwith a UTF-8 mark \xC3\xA4\n",
      Utf16File(u"UTF-16 \u00E4\u20AC \U0001F600 pair\r\n"),
      Utf16File(u"marked end\r\n\x1A after the mark"),
      "ends at the mark\n\x1A after it",
  };
  for (const std::string& file : files) {
    std::string storage;
    std::string_view whole;
    std::string error;
    ASSERT_TRUE(DecodeRegBytes(file, &storage, &whole, &error)) << error;
    for (size_t size : {1, 2, 3, 5, 64}) {
      std::string streamed;
      EXPECT_TRUE(DecodeInPieces(file, size, &streamed, &error)) << error;
      EXPECT_EQ(streamed, whole) << "pieces of " << size;
    }
  }
}

TEST(RegTextDecoder, AnUnpairedSurrogateNamesItsLineInAnyPiece) {
  std::string file = Utf16File(u"one\r\ntwo\r\nthree \xD800 x\r\nfour\r\n");
  std::string storage;
  std::string_view text;
  std::string error;
  EXPECT_FALSE(DecodeRegBytes(file, &storage, &text, &error));
  EXPECT_EQ(error, "line 3: an unpaired UTF-16 surrogate cannot be stored");
  for (size_t size : {1, 2, 3, 5, 64}) {
    std::string streamed;
    error.clear();
    EXPECT_FALSE(DecodeInPieces(file, size, &streamed, &error));
    EXPECT_EQ(error, "line 3: an unpaired UTF-16 surrogate cannot be stored")
        << "pieces of " << size;
  }
}

}  // namespace
}  // namespace velmora::regtext
