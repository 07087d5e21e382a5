#include "platform/serial/byte_queue.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(ByteQueue, KeepsWholeChunksInOrderUpToItsCapacity) {
  ByteQueue queue(10);
  EXPECT_TRUE(queue.Push("abcd"));
  EXPECT_TRUE(queue.Push("efg"));
  EXPECT_FALSE(queue.Push("hijk"));  // 11 bytes would not fit: nothing of it is kept
  EXPECT_EQ(queue.Front(), "abcdefg");
  EXPECT_TRUE(queue.Push("hij"));
  EXPECT_EQ(queue.room(), 0u);
  queue.Pop(5);
  EXPECT_EQ(queue.Front(), "fghij");
  // Room freed at the front is used again without passing the capacity.
  EXPECT_TRUE(queue.Push("klmno"));
  EXPECT_FALSE(queue.Push("p"));
  EXPECT_EQ(queue.Front(), "fghijklmno");
  queue.Pop(100);
  EXPECT_TRUE(queue.empty());
  EXPECT_EQ(queue.room(), 10u);
}

}  // namespace
}  // namespace velmora
