// HTML compression on arbitrary bytes: the linear engine must give exactly what the literal
// erase-and-search version gives (bytes, outcome, messages, yields), and what the rules before
// words were kept apart gave wherever those met none of the cases that glue words; never make
// a text longer; and leave a file with a NUL byte, an unchanged file or a file with an unended
// block untouched.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/compress.h"
#include "engine/compress_reference.h"
#include "fuzz_support.h"

namespace {

using vk::CompressOutcome;
using vk::fuzz::Recorder;

const std::string kPath = "/site/f.htm";

void CheckBlockRules(const std::string& block) {
  std::string fast = block;
  std::string slow = block;
  Recorder fastFeedback;
  Recorder slowFeedback;
  const bool fastChanged = vk::CompressHtmlBlock(fast, fastFeedback);
  const bool slowChanged = vk::reference::CompressHtmlBlock(slow, slowFeedback);
  VK_CHECK(fast == slow);
  VK_CHECK(fastChanged == slowChanged);
  VK_CHECK(fastFeedback.yields == slowFeedback.yields);
  VK_CHECK(fastFeedback.errors.empty() && slowFeedback.errors.empty());
  VK_CHECK(fast.size() <= block.size());
}

void CheckPage(const std::string& page) {
  Recorder fastFeedback;
  Recorder slowFeedback;
  std::string fast;
  std::string slow;
  const CompressOutcome fastOutcome = vk::CompressHtmlText(page, fast, kPath, fastFeedback);
  const CompressOutcome slowOutcome =
      vk::reference::CompressHtmlText(page, slow, kPath, slowFeedback);
  VK_CHECK(fastOutcome == slowOutcome);
  VK_CHECK(fastFeedback.errors == slowFeedback.errors);
  VK_CHECK(fastFeedback.yields == slowFeedback.yields);
  if (fastOutcome == CompressOutcome::kChanged) {
    VK_CHECK(fast == slow);
    VK_CHECK(fast.size() <= page.size());
  } else {
    VK_CHECK(fast.empty());
  }
  VK_CHECK(fastFeedback.errors.size() == (fastOutcome == CompressOutcome::kAborted ? 1u : 0u));

  bool spacingCase = false;
  Recorder previousFeedback;
  std::string previous;
  const CompressOutcome previousOutcome = vk::reference::CompressHtmlText(
      page, previous, kPath, previousFeedback, {vk::reference::Rules::kPrevious, &spacingCase});
  if (!spacingCase) {
    VK_CHECK(previousOutcome == fastOutcome);
    VK_CHECK(previous == fast);
    VK_CHECK(previousFeedback.errors == fastFeedback.errors);
    VK_CHECK(previousFeedback.yields == fastFeedback.yields);
  }
}

// The file step through a page in memory, with the bytes as they come (NUL bytes included).
void CheckFile(const std::string& bytes) {
  vk::fuzz::MemoryFile file(kPath, bytes);
  Recorder feedback;
  vk::CompressHtmlFile(kPath, feedback, file);
  if (bytes.find('\0') != std::string::npos) {
    VK_CHECK(feedback.errors.size() == 1);
    VK_CHECK(feedback.errors[0] ==
             "Die Datei " + kPath + " enthält Null-Bytes und wird nicht verändert!");
    VK_CHECK(file.writes == 0);
    return;
  }
  Recorder textFeedback;
  std::string expected;
  const CompressOutcome outcome = vk::CompressHtmlText(bytes, expected, kPath, textFeedback);
  VK_CHECK(feedback.errors == textFeedback.errors);
  if (outcome == CompressOutcome::kChanged) {
    VK_CHECK(file.writes == 1);
    VK_CHECK(file.Content() == expected);
  } else {
    VK_CHECK(file.writes == 0);
    VK_CHECK(file.Content() == bytes);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  // The text steps never see a NUL byte: the file step refuses such a page first.
  std::string text = bytes;
  text.erase(std::remove(text.begin(), text.end(), '\0'), text.end());
  CheckBlockRules(text);
  CheckPage(text);
  CheckFile(bytes);
  return 0;
}
