// A page in memory hands its buffers on between the steps instead of copying them: a step reads
// the current bytes where they are, its output becomes the page's content, and the buffer it
// replaced is the room of the next step's output.
#include "batch/memory_page.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace vk {
namespace {

TEST(MemoryPage, StepsHandTheirBuffersOn) {
  const std::string original = "the page as it was read";
  MemoryPage page("p.htm", FileStatus::Ok(), original);
  std::string storage;
  std::string_view view;
  ASSERT_TRUE(page.ReadView("p.htm", &storage, &view).ok());
  EXPECT_EQ(view.data(), original.data());  // the bytes read, not a copy

  // A step's output becomes the content as it is.
  std::string output;
  page.Reserve(output, 1000);
  output = "first step";
  const char* first = output.data();
  ASSERT_TRUE(page.Give("p.htm", output).ok());
  EXPECT_EQ(page.Content(), "first step");
  EXPECT_EQ(page.Content().data(), first);

  // The next step reads it in place; its output replaces it, and the buffer of the first step
  // is the room the step after takes.
  ASSERT_TRUE(page.ReadView("p.htm", &storage, &view).ok());
  EXPECT_EQ(view.data(), first);
  std::string second;
  page.Reserve(second, 1000);
  second = "second step";
  ASSERT_TRUE(page.Give("p.htm", second).ok());
  std::string third;
  page.Reserve(third, 1000);
  EXPECT_EQ(third.data(), first);
  EXPECT_TRUE(third.empty());
  EXPECT_EQ(page.Content(), "second step");
}

TEST(MemoryPage, AWriteRefusedOrAnotherPathLeavesTheContent) {
  const std::string original = "old";
  struct Case {
    const char* path;
    FileStatus refusal;
    FileStatus::Code expected;
  };
  const Case cases[] = {
      {"p.htm", FileStatus::Error(FileStatus::Code::kReadOnly, EACCES),
       FileStatus::Code::kReadOnly},
      {"other.htm", FileStatus::Ok(), FileStatus::Code::kNotFound},
  };
  for (const Case& c : cases) {
    MemoryPage page("p.htm", FileStatus::Ok(), original, c.refusal);
    std::string content = "new";
    EXPECT_EQ(page.Give(c.path, content).code(), c.expected) << c.path;
    EXPECT_EQ(page.Content(), "old");
    EXPECT_FALSE(page.Written());
    std::string storage;
    std::string_view view = "unset";
    const FileStatus read = page.ReadView(c.path, &storage, &view);
    EXPECT_EQ(read.ok(), std::string(c.path) == "p.htm");
    EXPECT_EQ(view, read.ok() ? "old" : "");
  }
}

}  // namespace
}  // namespace vk
