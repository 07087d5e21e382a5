#include "platform/registry/journal_format.h"

#include <gtest/gtest.h>

#include <vector>

namespace velmora::journal {
namespace {

TEST(JournalFormat, RecordsCarryTheirLengthAndTheCommonCrc32) {
  EXPECT_EQ(Crc32("123456789"), 0xCBF43926u);
  EXPECT_EQ(FrameRecord("[HKEY_LOCAL_MACHINE\\K]\n"), ";@ 23 34898cf2\n[HKEY_LOCAL_MACHINE\\K]\n");
}

TEST(JournalFormat, GenerationLines) {
  uint64_t generation = 99;
  EXPECT_TRUE(ReadGeneration(JournalHeader(7), &generation));
  EXPECT_EQ(generation, 7u);
  EXPECT_TRUE(ReadGeneration(
      "Windows Registry Editor Version 5.00\n" + SnapshotComment(12) + "\n[HKEY_LOCAL_MACHINE]\n",
      &generation));
  EXPECT_EQ(generation, 12u);
  for (const char* text : {"Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE]\n",
                           "REGEDIT4\n; generation x: no\n", "one line only",
                           "Windows Registry Editor Version 5.00\n; generation 5"}) {
    EXPECT_FALSE(ReadGeneration(text, &generation)) << text;
  }
  EXPECT_EQ(HeaderLength(JournalHeader(3)), JournalHeader(3).size());
  EXPECT_EQ(HeaderLength("Windows Registry Editor Version 5.00\n; gen"), 0u);
}

TEST(JournalFormat, ScanningTellsATornEndFromDamage) {
  std::string one = FrameRecord("[HKEY_LOCAL_MACHINE\\A]\n");
  std::string two = FrameRecord("[HKEY_LOCAL_MACHINE\\B]\n");
  auto scan = [](const std::string& text, std::vector<size_t>* offsets) {
    return ScanRecords(text, 100, [offsets](std::string_view, size_t offset, std::string*) {
      offsets->push_back(offset);
      return true;
    });
  };
  std::vector<size_t> offsets;
  Scan whole = scan(one + two, &offsets);
  EXPECT_EQ(whole.end, one.size() + two.size());
  EXPECT_FALSE(whole.torn || whole.damaged);
  EXPECT_EQ(offsets, (std::vector<size_t>{100, 100 + one.size()}));

  for (size_t cut = 1; cut < two.size(); ++cut) {
    offsets.clear();
    Scan torn = scan(one + two.substr(0, cut), &offsets);
    EXPECT_TRUE(torn.torn) << cut;
    EXPECT_FALSE(torn.damaged) << cut;
    EXPECT_EQ(torn.end, one.size()) << cut;
  }
  std::string flipped = one + two;
  flipped[one.size() - 3] ^= 1;  // inside the first body, with a record after it
  offsets.clear();
  Scan damaged = scan(flipped, &offsets);
  EXPECT_TRUE(damaged.damaged);
  EXPECT_EQ(damaged.error, "a damaged record at byte 100");
  EXPECT_EQ(damaged.end, 0u);
  EXPECT_TRUE(offsets.empty());
}

}  // namespace
}  // namespace velmora::journal
