#include "platform/registry/bsp_reg.h"

#include <sys/stat.h>

#include <map>
#include <vector>

#include <gtest/gtest.h>

#include "platform/registry/bsp_limits.h"
#include "platform/registry/hive.h"
#include "tests/test_support.h"

namespace velmora {
namespace {

constexpr char Header[] = "Windows Registry Editor Version 5.00\n\n";

struct Files {
  std::map<std::string, std::string> files;
  BspOptions options;

  Files() {
    options.memoryFiles = &files;
    options.useEnvironment = false;
  }

  bool Translate(BspTranslation* result, std::string* error,
                 std::vector<std::string> from = {"board/platform.reg"}) {
    return TranslateBspFiles(from, options, result, error);
  }
};

// The registry as regedit text after importing text.
std::string Registry(std::string_view text, std::string* error) {
  Hive hive;
  return hive.ImportText(text, error) ? hive.ExportText() : "import failed: " + *error;
}

struct DialectCase {
  const char* what;
  std::vector<std::string> defines;
  const char* input;     // board/platform.reg
  const char* expected;  // version 5.00 text without its header
};

const DialectCase DialectCases[] = {
    {"plain keys imply HKEY_LOCAL_MACHINE, which may also be named",
     {},
     "[Drivers\\BuiltIn\\Serial]\n\"Dll\"=\"serial.dll\"\n"
     "[HKEY_LOCAL_MACHINE\\Drivers\\BuiltIn\\IrDA]\n\"Dll\"=\"irsir.dll\"\n"
     "[HKLM\\Comm]\n",
     "[HKEY_LOCAL_MACHINE\\Drivers\\BuiltIn\\Serial]\n\"Dll\"=\"serial.dll\"\n"
     "[HKEY_LOCAL_MACHINE\\Drivers\\BuiltIn\\IrDA]\n\"Dll\"=\"irsir.dll\"\n"
     "[HKEY_LOCAL_MACHINE\\Comm]\n"},
    {"comments outside quotes, blanks around =, short dwords",
     {},
     "; the serial port\n[Drivers\\S]   ; its key\n"
     "   \"Prefix\" =  \"COM;1\"  ; not in the text\n\"Index\"\t=\tdword:1\n"
     "\"Order\"=dword:  00ab\n",
     "[HKEY_LOCAL_MACHINE\\Drivers\\S]\n\"Prefix\"=\"COM;1\"\n\"Index\"=dword:00000001\n"
     "\"Order\"=dword:000000ab\n"},
    {"hex with blanks, one-digit bytes and continuations; hex(n)",
     {},
     "[K]\n\"A\"=hex: 01 , 2,ff\n\"B\"=hex:10,\n    20\n\"C\"=hex:30,\\\n 40\n"
     "\"D\"=hex(3): 05\n\"E\"=hex:\n",
     "[HKEY_LOCAL_MACHINE\\K]\n\"A\"=hex:01,02,ff\n\"B\"=hex:10,20\n\"C\"=hex:30,40\n"
     "\"D\"=hex:05\n\"E\"=hex:\n"},
    {"multi_sz, also continued without a backslash; expand_sz",
     {},
     "[K]\n\"IClass\"=multi_sz:\"{A}\", \"b c\",\n  \"d\"\n\"One\" = multi_sz:\"x\"\n"
     "\"Path\"=expand_sz:\"%x%\"\n",
     "[HKEY_LOCAL_MACHINE\\K]\n"
     "\"IClass\"=hex(7):7b,00,41,00,7d,00,00,00,62,00,20,00,63,00,00,00,64,00,00,00,00,00\n"
     "\"One\"=hex(7):78,00,00,00,00,00\n\"Path\"=hex(2):25,00,78,00,25,00,00,00\n"},
    {"IF NAME, IF NAME !, ELSE, ENDIF NAME, nested and within a key's values",
     {"BSP_A", "BSP_B=0"},
     "[K]\nIF BSP_A\n\"A\"=dword:1\nIF BSP_B !\n\"NotB\"=dword:1\nELSE\n\"B\"=dword:1\nENDIF\n"
     "ENDIF BSP_A\nIF BSP_C\n\"C\"=dword:1\nIF BSP_A\n\"CA\"=dword:1\nENDIF\nELSE\n"
     "\"NotC\"=dword:1\nENDIF\nIF BSP_C !\n\"NotC2\"=dword:1\nENDIF\n",
     "[HKEY_LOCAL_MACHINE\\K]\n\"A\"=dword:00000001\n\"B\"=dword:00000001\n"
     "\"NotC\"=dword:00000001\n\"NotC2\"=dword:00000001\n"},
    {"IF == (or =) and != compare ignoring case; an undefined name is different, never equal",
     {"BSP_DISPLAY=qvga"},
     "[K]\nIF BSP_DISPLAY == QVGA\n\"Eq\"=dword:1\nENDIF\nIF BSP_DISPLAY != VGA\n"
     "\"Ne\"=dword:1\nENDIF\nIF BSP_NONE == 1\n\"UndefEq\"=dword:1\nENDIF\n"
     "IF BSP_NONE != 1\n\"UndefNe\"=dword:1\nENDIF\nIF BSP_DISPLAY=QVGA\n\"Single\"=dword:1\n"
     "ENDIF\n",
     "[HKEY_LOCAL_MACHINE\\K]\n\"Eq\"=dword:00000001\n\"Ne\"=dword:00000001\n"
     "\"UndefNe\"=dword:00000001\n\"Single\"=dword:00000001\n"},
    {"#define and -D in key paths and values, dword:$(MACRO); @CESYSGEN lines are comments",
     {"COM_INDEX=3"},
     "#define BUILTIN_ROOT HKEY_LOCAL_MACHINE\\Drivers\\BuiltIn\n#define UART_ORDER 1$(COM_INDEX)\n"
     "; @CESYSGEN IF CE_MODULES_SERIAL\n[$(BUILTIN_ROOT)\\Serial$(COM_INDEX)]\n"
     "\"Index\"=dword:$(COM_INDEX)\n\"Order\"=dword:$(UART_ORDER)\n\"Name\"=\"COM$(COM_INDEX):\"\n"
     "; @CESYSGEN ENDIF\n",
     "[HKEY_LOCAL_MACHINE\\Drivers\\BuiltIn\\Serial3]\n\"Index\"=dword:00000003\n"
     "\"Order\"=dword:00000013\n\"Name\"=\"COM3:\"\n"},
    {"deletions of values and keys; the default value",
     {},
     "[K\\Sub]\n\"A\"=\"1\"\n\"B\"=\"2\"\n@=\"default\"\n[K\\Gone]\n[K\\Sub]\n\"A\" = -\n"
     "[-K\\Gone]\n",
     "[HKEY_LOCAL_MACHINE\\K]\n[HKEY_LOCAL_MACHINE\\K\\Sub]\n\"B\"=\"2\"\n@=\"default\"\n"},
    {"=LOC_ texts from -D; without one the name itself",
     {"LOC_SERIAL=\"Serial \\\"Cable\\\" on COM1:\""},
     "[K]\n\"FriendlyName\"=LOC_SERIAL\n\"Other\" = LOC_UNKNOWN\n",
     "[HKEY_LOCAL_MACHINE\\K]\n\"FriendlyName\"=\"Serial \\\"Cable\\\" on COM1:\"\n"
     "\"Other\"=\"LOC_UNKNOWN\"\n"},
    {"Windows-1252 bytes in comments and strings; escapes; a Ctrl-Z ends the file",
     {},
     "; Ger\xe4te \x80\n[K]\n\"Name\"=\"Ger\xe4t \x93x\x94 \\\\ \\\"q\\\"\"\n\x1a[Ignored]\n",
     "[HKEY_LOCAL_MACHINE\\K]\n\"Name\"=\"Ger\xc3\xa4t \xe2\x80\x9cx\xe2\x80\x9d \\\\ "
     "\\\"q\\\"\"\n"},
    {"keys of other roots are left out with their values",
     {},
     "[HKEY_CURRENT_USER\\ControlPanel]\n\"X\"=dword:1\n[K]\n\"Y\"=dword:2\n",
     "[HKEY_LOCAL_MACHINE\\K]\n\"Y\"=dword:00000002\n"},
    {"a regedit header line is passed over; CR LF line ends",
     {},
     "Windows Registry Editor Version 5.00\r\n\r\n[K]\r\n\"A\"=dword:1\r\n",
     "[HKEY_LOCAL_MACHINE\\K]\n\"A\"=dword:00000001\n"},
};

TEST(BspReg, DialectCasesGiveTheRegistryOfTheirRegeditText) {
  for (const DialectCase& c : DialectCases) {
    SCOPED_TRACE(c.what);
    Files files;
    files.files["board/platform.reg"] = c.input;
    files.options.defines = c.defines;
    BspTranslation result;
    std::string error;
    ASSERT_TRUE(files.Translate(&result, &error)) << error;
    EXPECT_EQ(Registry(result.text(), &error), Registry(Header + std::string(c.expected), &error))
        << result.text();
  }
}

TEST(BspReg, IncludesResolveBesideTheFileThenInIncludeFolders) {
  Files files;
  files.options.defines = {"_TARGETPLATROOT=board", "BSP_UART2"};
  files.options.includeDirs = {"common", "."};
  files.files["board/platform.reg"] =
      "#include \"$(_TARGETPLATROOT)\\drivers\\uart.reg\"\n#include \"shared.reg\"\n"
      "IF BSP_UART3\n#include \"nowhere.reg\"\nENDIF\n";
  files.files["board/drivers/uart.reg"] =
      "IF BSP_UART2\n[Drivers\\BuiltIn\\Uart2]\n\"Index\"=dword:2\nENDIF\n";
  files.files["common/shared.reg"] = "#define SHARED 1\n[Comm]\n\"Shared\"=dword:$(SHARED)\n";
  BspTranslation result;
  std::string error;
  ASSERT_TRUE(files.Translate(&result, &error)) << error;
  EXPECT_EQ(Registry(result.text(), &error),
            Registry(std::string(Header) +
                         "[HKEY_LOCAL_MACHINE\\Drivers\\BuiltIn\\Uart2]\n\"Index\"=dword:2\n"
                         "[HKEY_LOCAL_MACHINE\\Comm]\n\"Shared\"=dword:1\n",
                     &error));
  EXPECT_TRUE(result.warnings().empty());
}

TEST(BspReg, WarningsForMissingIncludesAndTextsComeOncePerName) {
  Files files;
  files.options.skipMissingIncludes = true;
  files.files["board/platform.reg"] =
      "#include \"..\\oak\\files\\common.reg\"\n#include \"../oak/files/common.reg\"\n"
      "[K]\n\"A\"=LOC_ONE\n\"B\"=LOC_TWO\n\"C\"=LOC_ONE\n";
  BspTranslation result;
  std::string error;
  ASSERT_TRUE(files.Translate(&result, &error)) << error;
  ASSERT_EQ(result.warnings().size(), 2u);
  EXPECT_EQ(result.warnings()[0],
            "board/platform.reg: line 1: left out the missing included file "
            "\"..\\oak\\files\\common.reg\"");
  EXPECT_NE(result.warnings()[1].find("no text for LOC_ONE, LOC_TWO"), std::string::npos);
}

TEST(BspReg, UndefTakesANameBackAndAnEndifNamingAnotherIfIsWarned) {
  Files files;
  files.options.defines = {"BSP_X"};
  files.files["board/platform.reg"] =
      "[K]\n#undef BSP_X\nIF BSP_X\n\"X\"=dword:1\nENDIF\nIF BSP_X !\n\"NotX\"=dword:1\n"
      "ENDIF BSP_Y\n";
  BspTranslation result;
  std::string error;
  ASSERT_TRUE(files.Translate(&result, &error)) << error;
  EXPECT_EQ(result.text(),
            "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\K]\n"
            "\"NotX\"=dword:00000001\n");
  EXPECT_EQ(result.warnings(),
            (std::vector<std::string>{"board/platform.reg: line 8: ENDIF BSP_Y closes IF BSP_X of "
                                      "line 6"}));
}

TEST(BspReg, TextsComeFromTheStringsTable) {
  Files files;
  files.options.stringsFile = "board/strings.str";
  files.files["board/strings.str"] =
      "; texts\n#define LOC_A \"Serial Port A\"  ; with a comment\nLOC_B=Port B\n"
      "LOC_C \"with \\\"quotes\\\"\"\n";
  files.files["board/platform.reg"] = "[K]\n\"A\"=LOC_A\n\"B\"=LOC_B\n\"C\"=loc_c\n";
  BspTranslation result;
  std::string error;
  ASSERT_TRUE(files.Translate(&result, &error)) << error;
  EXPECT_EQ(Registry(result.text(), &error),
            Registry(std::string(Header) +
                         "[HKEY_LOCAL_MACHINE\\K]\n\"A\"=\"Serial Port A\"\n\"B\"=\"Port B\"\n"
                         "\"C\"=\"with \\\"quotes\\\"\"\n",
                     &error));
  EXPECT_TRUE(result.warnings().empty());
}

struct ErrorCase {
  const char* what;
  std::map<std::string, std::string> files;  // board/platform.reg is read
  const char* error;
};

const ErrorCase ErrorCases[] = {
    {"IF without ENDIF",
     {{"board/platform.reg", "[K]\n\nIF BSP_X\n\"A\"=dword:1\n"}},
     "board/platform.reg: line 3: IF BSP_X without ENDIF"},
    {"an IF closes in its own file",
     {{"board/platform.reg", "IF BSP_X !\n#include \"a.reg\"\nENDIF\nENDIF\n"},
      {"board/a.reg", "[K]\nENDIF\n"}},
     "board/a.reg: line 2: ENDIF without IF"},
    {"ELSE without IF",
     {{"board/platform.reg", "[K]\nELSE\n"}},
     "board/platform.reg: line 2: ELSE without IF"},
    {"a second ELSE",
     {{"board/platform.reg", "IF X\nELSE\nELSE\nENDIF\n"}},
     "board/platform.reg: line 3: a second ELSE for IF X of line 1"},
    {"a malformed IF",
     {{"board/platform.reg", "IF X 1\nENDIF\n"}},
     "board/platform.reg: line 1: expected \"IF NAME\", \"IF NAME !\", \"IF NAME == VALUE\" or "
     "\"IF NAME != VALUE\""},
    {"a missing include names the file",
     {{"board/platform.reg", "[K]\n#include \"$(BSP_DIR)\\serial.reg\"\n"}},
     "board/platform.reg: line 2: cannot find the included file \"drivers\\serial.reg\" (give its "
     "folder with -I, or --skip-missing-includes)"},
    {"an include cycle",
     {{"board/platform.reg", "#include \"a.reg\"\n"},
      {"board/a.reg", "\n#include \"./platform.reg\"\n"}},
     "board/a.reg: line 2: \"./platform.reg\" includes itself"},
    {"an undefined $(NAME)",
     {{"board/platform.reg", "[K]\n\"Dll\"=\"$(NOPE).dll\"\n"}},
     "board/platform.reg: line 2: $(NOPE) is not defined (define it with -D NOPE=VALUE)"},
    {"a definition that refers to itself",
     {{"board/platform.reg", "#define LOOP x$(LOOP)\n[$(LOOP)]\n"}},
     "board/platform.reg: line 2: $(LOOP) nests deeper than 16 definitions"},
    {"a long dword",
     {{"board/platform.reg", "[K]\n\"A\"=dword:123456789\n"}},
     "board/platform.reg: line 2: a dword needs 1 to 8 hex digits, not \"123456789\""},
    {"a value outside a key",
     {{"board/platform.reg", "\"A\"=dword:1\n"}},
     "board/platform.reg: line 1: a value outside of a key"},
    {"unknown data",
     {{"board/platform.reg", "[K]\n\"A\"=SOMETHING\n"}},
     "board/platform.reg: line 2: unknown value data \"SOMETHING\""},
    {"a broken multi_sz",
     {{"board/platform.reg", "[K]\n\"A\"=multi_sz:\"a\" \"b\"\n"}},
     "board/platform.reg: line 2: multi_sz: expects texts in quotes, separated by \",\""},
};

TEST(BspReg, ErrorsNameTheFileAndLine) {
  for (const ErrorCase& c : ErrorCases) {
    SCOPED_TRACE(c.what);
    Files files;
    files.files = c.files;
    files.options.defines = {"BSP_DIR=drivers"};
    BspTranslation result;
    std::string error;
    EXPECT_FALSE(files.Translate(&result, &error));
    EXPECT_EQ(error, c.error);
  }
}

TEST(BspReg, DefinitionsThatGrowTooLongAreRefused) {
  Files files;
  std::string text = "#define A " + std::string(100, 'a') + "\n";
  for (const char* name : {"B", "C", "D"}) {
    text += std::string("#define ") + name + " ";
    for (int i = 0; i < 10; ++i) {
      text += "$(" + std::string(1, static_cast<char>(name[0] - 1)) + ")";
    }
    text += "\n";
  }
  files.files["board/platform.reg"] = text + "[K]\n\"A\"=\"$(D)\"\n";
  BspTranslation result;
  std::string error;
  EXPECT_FALSE(files.Translate(&result, &error));
  EXPECT_EQ(error, "board/platform.reg: line 6: a line longer than " +
                       std::to_string(MaxBspLineLength) + " bytes");
  files.options.defines = {"NOT A NAME=1"};
  EXPECT_FALSE(files.Translate(&result, &error));
  EXPECT_EQ(error, "-D NOT A NAME=1: a name is letters, digits and \"_\"");
}

TEST(BspReg, Utf16FilesAreRead) {
  Files files;
  std::string bytes = "\xFF\xFE";
  for (char16_t c : std::u16string(u"[K]\r\n\"\u00C4\"=\"\u03A9\"\r\n")) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  files.files["board/platform.reg"] = bytes;
  BspTranslation result;
  std::string error;
  ASSERT_TRUE(files.Translate(&result, &error)) << error;
  EXPECT_EQ(
      result.text(),
      "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\K]\n\"\xC3\x84\"=\"\xCE\xA9\"\n");
}

TEST(BspReg, RegistryErrorsAboutTheTextNameTheLineItCameFrom) {
  Files files;
  files.files["board/platform.reg"] = "#include \"deep.reg\"\n";
  std::string deep = "; deep keys\n\n[K]\n\"A\"=dword:1\n[";
  for (size_t i = 0; i <= MaxKeyDepth; ++i) {
    deep += (i == 0 ? "" : "\\") + std::string("D");
  }
  files.files["board/deep.reg"] = deep + "]\n";
  BspTranslation result;
  std::string error;
  ASSERT_TRUE(files.Translate(&result, &error)) << error;
  Hive hive;
  ASSERT_FALSE(hive.ImportText(result.text(), &error));
  EXPECT_EQ(result.Explain(error), "board/deep.reg: line 5: keys nest deeper than 16 levels");
  EXPECT_EQ(result.Explain("cannot write"), "cannot write");
  EXPECT_EQ(result.Explain("line 1: x"), "line 1: x");  // the header is our own
}

TEST(BspReg, IncludesNestOnlySoDeep) {
  Files files;
  for (size_t i = 0; i <= MaxBspIncludeDepth; ++i) {
    files.files["board/" + std::to_string(i) + ".reg"] =
        "#include \"" + std::to_string(i + 1) + ".reg\"\n";
  }
  files.files["board/platform.reg"] = "#include \"0.reg\"\n";
  BspTranslation result;
  std::string error;
  EXPECT_FALSE(files.Translate(&result, &error));
  EXPECT_NE(error.find("#include nests deeper than 16 files"), std::string::npos) << error;
}

TEST(BspReg, FilesOnTheHostAreFoundIgnoringCase) {
  testing::TempDir dir;
  ::mkdir((dir / "Board").c_str(), 0755);
  ::mkdir((dir / "Board/Drivers").c_str(), 0755);
  testing::WriteFileText(dir / "Board/platform.reg", "#include \"drivers\\SERIAL.reg\"\n");
  testing::WriteFileText(dir / "Board/Drivers/Serial.reg", "[K]\n\"A\"=dword:1\n");
  BspOptions options;
  BspTranslation result;
  std::string error;
  ASSERT_TRUE(TranslateBspFiles({dir / "board/PLATFORM.REG"}, options, &result, &error)) << error;
  EXPECT_NE(result.text().find("\"A\"=dword:00000001"), std::string::npos);
  EXPECT_FALSE(TranslateBspFiles({dir / "none.reg"}, options, &result, &error));
  EXPECT_EQ(error, "cannot find '" + (dir / "none.reg") + "'");
}

}  // namespace
}  // namespace velmora
