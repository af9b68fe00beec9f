// PATH arguments made absolute, so every row has a full path however the user typed it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "cli/batch_command.h"

namespace vk::cli {
namespace {

TEST(AbsolutePathTest, CleanAbsolutePaths) {
  std::string cwd(4096, '\0');
  ASSERT_NE(getcwd(cwd.data(), cwd.size()), nullptr);
  cwd.resize(std::char_traits<char>::length(cwd.c_str()));
  const std::string base = cwd == "/" ? "" : cwd;
  struct Case {
    std::string in, out;
  };
  const Case cases[] = {
      {"/", "/"},
      {"//", "/"},
      {"/web/site/", "/web/site"},
      {"/web//site/./index.htm", "/web/site/index.htm"},
      {"/web/../site", "/web/../site"},
      {"site", base + "/site"},
      {"./site//sub/", base + "/site/sub"},
      {".", cwd},
      {"../x", base + "/../x"},
      {"/with blank/ä.htm", "/with blank/ä.htm"},
  };
  for (const Case& c : cases) EXPECT_EQ(AbsolutePath(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace vk::cli
