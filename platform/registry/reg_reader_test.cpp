#include "platform/registry/reg_reader.h"

#include <vector>

#include <gtest/gtest.h>

#include "platform/registry.h"
#include "platform/registry/reg_writer.h"
#include "platform/registry/registry_limits.h"
#include "platform/text.h"
#include "tests/test_support.h"

namespace velmora {
namespace {

std::vector<uint8_t> Wide(std::u16string_view text, bool terminator = true) {
  std::vector<uint8_t> data;
  for (char16_t c : text) {
    data.push_back(static_cast<uint8_t>(c & 0xFF));
    data.push_back(static_cast<uint8_t>(c >> 8));
  }
  if (terminator) {
    data.insert(data.end(), {0, 0});
  }
  return data;
}

std::vector<uint8_t> Bytes(std::initializer_list<uint8_t> bytes) {
  return bytes;
}

using testing::Utf16File;

TEST(RegText, EveryValueKindRoundTripsExactly) {
  KeyNode root;
  KeyNode* key = root.AddSubkey(u"Drivers")->AddSubkey(u"BuiltIn")->AddSubkey(u"Sérial \"x\"");
  key->SetValue(u"", RegString, Wide(u"default"));
  key->SetValue(u"Quote\"And\\Slash", RegString, Wide(u"C:\\dir \"quoted\" Übernehmen"));
  key->SetValue(u"Number", RegNumber, Bytes({0x78, 0x56, 0x34, 0x12}));
  key->SetValue(u"Flag", RegBinary, Bytes({1}));
  key->SetValue(u"Empty", RegBinary, Bytes({}));
  key->SetValue(u"Expand", RegExpandString, Wide(u"%windir%"));
  key->SetValue(u"Multi", RegMultiString, Wide(u"a\0b\0", true));
  key->SetValue(u"Odd", 0x0B, Bytes({1, 2, 3, 4, 5, 6, 7, 8}));
  key->SetValue(u"NoTerminator", RegString, Wide(u"abc", false));
  key->SetValue(u"Newline", RegString, Wide(u"two\nlines"));
  key->SetValue(u"ShortNumber", RegNumber, Bytes({1, 2}));
  key->SetValue(u"Lone surrogate", RegString, Wide(u"\xD800x"));
  std::vector<uint8_t> big(300);
  for (size_t i = 0; i < big.size(); ++i) {
    big[i] = static_cast<uint8_t>(i);
  }
  key->SetValue(u"Big", RegBinary, big);
  root.AddSubkey(u"Empty key");

  std::string text = FormatRegText(root);
  KeyNode back;
  std::string error;
  ASSERT_TRUE(ReadRegText(text, back, &error)) << error << "\n" << text;
  EXPECT_TRUE(back.SameContent(root)) << text;
  EXPECT_EQ(FormatRegText(back), text);
}

TEST(RegText, WritesTheFamiliarForms) {
  KeyNode root;
  KeyNode* key = root.AddSubkey(u"Drivers");
  key->SetValue(u"Prefix", RegString, Wide(u"COM"));
  key->SetValue(u"Index", RegNumber, Bytes({5, 0, 0, 0}));
  key->SetValue(u"ReadLog", RegBinary, Bytes({1}));
  EXPECT_EQ(FormatRegText(root),
            "Windows Registry Editor Version 5.00\n\n"
            "[HKEY_LOCAL_MACHINE]\n\n"
            "[HKEY_LOCAL_MACHINE\\Drivers]\n"
            "\"Prefix\"=\"COM\"\n"
            "\"Index\"=dword:00000005\n"
            "\"ReadLog\"=hex:01\n\n");
}

TEST(RegText, ReadsRegeditUtf16WithContinuationsCommentsAndDeletions) {
  std::u16string text =
      u"Windows Registry Editor Version 5.00\r\n"
      u"\r\n"
      u"; a comment\r\n"
      u"[HKEY_LOCAL_MACHINE\\Drivers\\Active\\01]\r\n"
      u"\"Name\"=\"COM1:\"\r\n"
      u"\"Hnd\"=dword:0000002a\r\n"
      u"\"Gone\"=\"soon\"\r\n"
      u"\"Bytes\"=hex:01,02,\\\r\n"
      u"  03,04\r\n"
      u"\"Path\"=hex(2):25,00,41,00,25,00,00,00\r\n"
      u"@=\"Übernehmen\"\r\n"
      u"\"Gone\"=-\r\n"
      u"[HKEY_LOCAL_MACHINE\\Drivers\\Old]\r\n"
      u"\"X\"=dword:1\r\n"
      u"[-HKEY_LOCAL_MACHINE\\Drivers\\Old]\r\n";
  KeyNode root;
  std::string error;
  ASSERT_TRUE(ReadRegText(Utf16File(text), root, &error)) << error;
  KeyNode* entry = root.FindSubkey(u"drivers")->FindSubkey(u"active")->FindSubkey(u"01");
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->FindValue(u"Name")->DataCopy(), Wide(u"COM1:"));
  EXPECT_EQ(entry->FindValue(u"Hnd")->DataCopy(), (std::vector<uint8_t>{0x2a, 0, 0, 0}));
  EXPECT_EQ(entry->FindValue(u"Bytes")->DataCopy(), (std::vector<uint8_t>{1, 2, 3, 4}));
  EXPECT_EQ(entry->FindValue(u"Path")->type(), RegExpandString);
  EXPECT_EQ(entry->FindValue(u"")->DataCopy(), Wide(u"Übernehmen"));
  EXPECT_EQ(entry->FindValue(u"Gone"), nullptr);
  EXPECT_EQ(root.FindSubkey(u"Drivers")->FindSubkey(u"Old"), nullptr);
}

TEST(RegText, ReadsRegedit4WithLatin1Text) {
  std::string text =
      "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\K]\n\"Name\"=\"F\xFCr\"\n"
      "\"E\"=hex(2):41,42,00\n";
  KeyNode root;
  std::string error;
  ASSERT_TRUE(ReadRegText(text, root, &error)) << error;
  KeyNode* key = root.FindSubkey(u"K");
  EXPECT_EQ(key->FindValue(u"Name")->DataCopy(), Wide(u"Für"));
  EXPECT_EQ(key->FindValue(u"E")->DataCopy(), Wide(u"AB"));  // widened to UTF-16
}

TEST(RegText, MalformedFilesNameTheLine) {
  struct Case {
    const char* text;
    const char* error;
  };
  const Case cases[] = {
      {"", "line 1: empty file"},
      {"hello\n", "line 1: not a registry file"},
      {"REGEDIT4\n\n\"A\"=\"x\"\n", "line 3: a value outside of a key"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\K\n", "line 2: a key line must end with \"]\""},
      {"REGEDIT4\n[HKEY_CURRENT_USER\\K]\n", "line 2: only keys below HKEY_LOCAL_MACHINE"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"A\"=dword:123456789\n", "line 3: a dword needs"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"A\"=hex:1,2\n", "line 3: malformed hex byte"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"A\"=\"open\n", "line 3: malformed string value"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"A\"=hex:01,\\\n  zz\n", "line 3: malformed hex"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\nstray\n", "line 3: unexpected text"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"A\"=str:x\n", "line 3: unknown value data"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\\\K]\n", "line 2: empty key name"},
  };
  for (const Case& c : cases) {
    KeyNode root;
    std::string error;
    EXPECT_FALSE(ReadRegText(c.text, root, &error)) << c.text;
    EXPECT_EQ(error.rfind(c.error, 0), 0u) << "got: " << error;
  }
}

// What the registry refuses through its interface, the reader refuses too,
// naming the line: nothing read from a file can be a key or value that the
// device could not hold or the program could not enumerate.
TEST(RegReader, HoldsTheTextToTheRegistrysOwnLimits) {
  std::string deep = "[HKEY_LOCAL_MACHINE";
  for (size_t i = 0; i <= MaxKeyDepth; ++i) {
    deep += "\\k";
  }
  std::string nested = "[HKEY_LOCAL_MACHINE";
  for (size_t i = 0; i < MaxKeyDepth; ++i) {
    nested += "\\k";
  }
  std::string bigHex = "\"Big\"=hex:00";
  for (size_t i = 1; i <= MaxValueSize; ++i) {
    bigHex += ",00";
  }
  struct Case {
    std::string body;
    const char* error;  // "" when the text is fine
  };
  const Case cases[] = {
      {nested + "]\n", ""},
      {deep + "]\n", "line 3: keys nest deeper than 16 levels"},
      {"[HKEY_LOCAL_MACHINE\\" + std::string(255, 'n') + "]\n", ""},
      {"[HKEY_LOCAL_MACHINE\\" + std::string(256, 'n') + "]\n",
       "line 3: a name longer than 255 characters"},
      {"[HKEY_LOCAL_MACHINE\\K]\n\"" + std::string(256, 'v') + "\"=dword:1\n",
       "line 4: a name longer than 255 characters"},
      {"[HKEY_LOCAL_MACHINE\\K\x01]\n", "line 3: a control character in a name"},
      {std::string("[HKEY_LOCAL_MACHINE\\K]\n\"a") + '\0' + "b\"=dword:1\n",
       "line 4: a control character in a name"},
      {"[HKEY_LOCAL_MACHINE\\K\xED\xA0\x80]\n", "line 3: the text is not valid UTF-8"},
      {"[HKEY_LOCAL_MACHINE\\K]\n" + bigHex + "\n", "line 4: a value larger than 4096 bytes"},
      {"[HKEY_LOCAL_MACHINE\\K]\n\"S\"=\"" + std::string(2048, 's') + "\"\n",
       "line 4: a value larger than 4096 bytes"},
  };
  for (const Case& c : cases) {
    KeyNode root;
    std::string error;
    bool ok = ReadRegText("Windows Registry Editor Version 5.00\n\n" + c.body, root, &error);
    EXPECT_EQ(ok, *c.error == 0) << c.body.substr(0, 60);
    EXPECT_EQ(error, c.error) << c.body.substr(0, 60);
  }
}

TEST(RegReader, RefusesUnpairedSurrogatesOfUtf16FilesWithTheirLine) {
  KeyNode root;
  std::string error;
  EXPECT_FALSE(ReadRegText(Utf16File(u"Windows Registry Editor Version 5.00\r\n\r\n"
                                     u"[HKEY_LOCAL_MACHINE\\A\xD800]\r\n"
                                     u"[HKEY_LOCAL_MACHINE\\A\xDC00]\r\n"),
                           root, &error));
  EXPECT_EQ(error, "line 3: an unpaired UTF-16 surrogate cannot be stored");
  // A pair is one character, and fine.
  EXPECT_TRUE(ReadRegText(Utf16File(u"Windows Registry Editor Version 5.00\r\n"
                                    u"[HKEY_LOCAL_MACHINE\\A\xD83D\xDE00]\r\n"),
                          root, &error))
      << error;
}

TEST(RegReader, AnEndOfFileMarkEndsTheText) {
  KeyNode root;
  std::string error;
  ASSERT_TRUE(
      ReadRegText("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\K]\r\n\"A\"=dword:1\r\n\x1A"
                  "\x00\x13 garbage after the mark",
                  root, &error))
      << error;
  EXPECT_NE(root.FindSubkey(u"K")->FindValue(u"A"), nullptr);
}

}  // namespace
}  // namespace velmora
