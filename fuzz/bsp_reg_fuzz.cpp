// Any bytes given to the board registry translator, as a platform.reg and
// the files it may include (the input split at NUL bytes): no crash, and
// what it accepts is version 5.00 text whose import either succeeds or
// fails with an error that names a file of the input.
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>

#include "platform/registry/bsp_limits.h"
#include "platform/registry/bsp_reg.h"
#include "platform/registry/hive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  static const char* const Names[] = {"board/platform.reg", "board/a.reg", "board/drivers/b.reg",
                                      "inc/c.reg", "board/strings.str"};
  std::map<std::string, std::string> files;
  for (const char* name : Names) {
    size_t end = bytes.find('\0');
    files[name] = std::string(bytes.substr(0, end));
    if (end == std::string_view::npos) {
      break;
    }
    bytes.remove_prefix(end + 1);
  }
  velmora::BspOptions options;
  options.memoryFiles = &files;
  options.useEnvironment = false;
  options.includeDirs = {"inc"};
  options.defines = {"BSP_A", "BSP_B=1", "ROOT=board", "LOC_X=\"x\""};
  options.skipMissingIncludes = files.size() % 2 == 0;
  if (files.count("board/strings.str") != 0) {
    options.stringsFile = "board/strings.str";
  }
  velmora::BspTranslation translation;
  std::string error;
  if (!velmora::TranslateBspFiles({"board/platform.reg"}, options, &translation, &error)) {
    return 0;
  }
  if (translation.text().size() > velmora::MaxBspTotalSize + velmora::MaxBspLineLength) {
    std::abort();
  }
  velmora::Hive hive;
  if (!hive.ImportText(translation.text(), &error)) {
    std::string explained = translation.Explain(error);
    if (explained.rfind("board/", 0) != 0 && explained.rfind("inc/", 0) != 0) {
      std::abort();  // every line after the header comes from a file
    }
  }
  return 0;
}
