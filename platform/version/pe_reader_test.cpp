#include "platform/version/pe_reader.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/unique_fd.h"
#include "platform/version/pe_image.h"
#include "tests/test_support.h"

namespace velmora {
namespace {

using testing::TempDir;
using testing::WriteFileText;

// The version block as read from a file through its descriptor, or
// "(none)".
std::string FromFile(const std::string& path) {
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  off_t size = fd.valid() ? ::lseek(fd.get(), 0, SEEK_END) : -1;
  if (size < 0) {
    return "(no file)";
  }
  ImageSource source(fd.get(), static_cast<uint64_t>(size));
  std::string block;
  return ExtractVersionResource(source, &block) ? block : "(none)";
}

std::string FromBuffer(const std::string& image) {
  std::string block;
  return ExtractVersionResource(image, &block) ? block : "(none)";
}

// Images read from a file give what the same bytes in memory give: good
// ones, cut ones (at every length around the headers and the resource
// section), hostile ones.
TEST(PeReader, AFileReadPieceByPieceGivesWhatItsBytesGive) {
  VersionSpec layout;
  layout.fileVersionText = u"2.1.0.4";
  TempDir dir;
  std::vector<std::string> images;
  for (bool plus : {false, true}) {
    std::string good = BuildPeImage(BuildVersionBlock(layout), plus);
    images.push_back(good);
    for (size_t cut = 0; cut < good.size(); cut += 13) {
      images.push_back(good.substr(0, cut));
    }
    std::string hostile = good;
    hostile[0x3C] = '\xF0';
    images.push_back(hostile);
    // The version block behind a large gap: the window moves far.
    std::string far = good + std::string(3 * 4096 + 17, '\0');
    images.push_back(far);
  }
  images.push_back("");
  images.push_back("MZ");
  int found = 0;
  for (size_t i = 0; i < images.size(); ++i) {
    std::string path = dir / ("image" + std::to_string(i));
    WriteFileText(path, images[i]);
    std::string expected = FromBuffer(images[i]);
    EXPECT_EQ(FromFile(path), expected) << "image " << i << " of " << images[i].size() << " bytes";
    found += expected != "(none)";
  }
  EXPECT_GE(found, 4);
}

TEST(PeReader, TellsAPeImageFromOtherFiles) {
  VersionSpec layout;
  std::string image = BuildPeImage(BuildVersionBlock(layout));
  std::string noMagic = image;
  noMagic[0] = 'X';
  std::string noSignature = image;
  noSignature[0x40] = 'X';
  std::string oddOptional = image;
  oddOptional[0x44 + 20] = 0x07;
  struct Case {
    const char* what;
    std::string bytes;
    bool pe;
  };
  const Case cases[] = {
      {"a PE32 image", image, true},
      {"a PE32+ image", BuildPeImage(BuildVersionBlock(layout), true), true},
      {"one without resources", BuildPeImage(""), true},
      {"text", "new driver\n", false},
      {"nothing", "", false},
      {"MZ alone", "MZ", false},
      {"no MZ", noMagic, false},
      {"no PE signature", noSignature, false},
      {"an optional header of neither kind", oddOptional, false},
      {"headers cut short", image.substr(0, 0x50), false},
  };
  for (const Case& c : cases) {
    ImageSource source(c.bytes);
    EXPECT_EQ(IsPeImage(source), c.pe) << c.what;
  }
}

}  // namespace
}  // namespace velmora
