// The buffers kept between pages: the smallest that fits is handed out, empty; what is kept stays
// within its limits, and buffers too small to matter are not kept.
#include "batch/page_buffers.h"

#include <gtest/gtest.h>

#include <string>

namespace vk {
namespace {

std::string WithRoom(std::size_t room) {
  std::string buffer = "bytes";
  buffer.reserve(room);
  return buffer;
}

TEST(PageBuffers, TheSmallestThatFitsComesBackEmpty) {
  PageBuffers buffers(std::size_t{10} << 20, 8);
  buffers.Keep(WithRoom(4 << 20));
  buffers.Keep(WithRoom(1 << 20));
  buffers.Keep(WithRoom(2 << 20));
  const std::string middle = buffers.Take(1500 * 1024);
  EXPECT_GE(middle.capacity(), std::size_t{2} << 20);
  EXPECT_LT(middle.capacity(), std::size_t{4} << 20);
  EXPECT_TRUE(middle.empty());
  EXPECT_EQ(buffers.Take(8 << 20).capacity(), std::string().capacity());  // none that big
  EXPECT_GE(buffers.Take(0).capacity(), std::size_t{1} << 20);
  EXPECT_GE(buffers.Take(0).capacity(), std::size_t{4} << 20);
  EXPECT_EQ(buffers.Take(0).capacity(), std::string().capacity());  // all taken
}

TEST(PageBuffers, KeepsWithinItsLimits) {
  struct Case {
    std::size_t mostBytes;
    std::size_t mostBuffers;
    std::size_t room;  // of each of four buffers offered
    int kept;
  };
  const Case cases[] = {
      {std::size_t{64} << 20, 8, 1 << 20, 4},
      {std::size_t{64} << 20, 2, 1 << 20, 2},       // by count
      {(std::size_t{3} << 20) - 1, 8, 1 << 20, 2},  // by bytes
      {std::size_t{64} << 20, 8, 1 << 10, 0},       // too small to be worth keeping
  };
  for (const Case& c : cases) {
    PageBuffers buffers(c.mostBytes, c.mostBuffers);
    for (int i = 0; i < 4; ++i) buffers.Keep(WithRoom(c.room));
    int kept = 0;
    while (buffers.Take(0).capacity() >= c.room) ++kept;
    EXPECT_EQ(kept, c.kept) << c.mostBytes << " " << c.mostBuffers << " " << c.room;
  }
}

}  // namespace
}  // namespace vk
