#include "fault_support.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <regex>

#include "fs/read_file.h"
#include "support/test_support.h"

namespace vk::test {

std::vector<std::string> TemporaryFilesBelow(const std::string& folder) {
  static const std::regex kTemporary(R"(^\.(.*\.)?vk-[A-Za-z0-9]{6}$)");
  std::vector<std::string> found;
  std::error_code ec;
  for (auto it = std::filesystem::recursive_directory_iterator(
           folder, std::filesystem::directory_options::skip_permission_denied, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    if (std::regex_match(it->path().filename().string(), kTemporary)) {
      found.push_back(it->path().string());
    }
  }
  return found;
}

std::string OldOrNew(const std::string& path, const std::string& before, const std::string& after) {
  std::string content;
  if (!ReadWholeFile(path, &content).ok()) return path + " cannot be read";
  if (content == before) return "old";
  if (content == after) return "new";
  std::size_t same = 0;
  const std::string& nearer = content.size() <= before.size() ? before : after;
  while (same < content.size() && same < nearer.size() && content[same] == nearer[same]) ++same;
  return std::to_string(content.size()) + " bytes, neither the old " +
         std::to_string(before.size()) + " nor the new " + std::to_string(after.size()) +
         " (first difference at " + std::to_string(same) + ")";
}

void GiveTree(const std::string& folder, uid_t uid) {
  EXPECT_EQ(lchown(folder.c_str(), uid, uid), 0) << folder;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    EXPECT_EQ(lchown(entry.path().c_str(), uid, uid), 0) << entry.path();
  }
}

}  // namespace vk::test
