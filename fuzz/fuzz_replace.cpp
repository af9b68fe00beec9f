// HTML code replacement with a list taken from the input: the one-pass engine, whole and in
// small pieces, on the text read as Windows-1252 and as UTF-8, must give exactly what searching
// from the start after every replacement gives (bytes, count, yields), and never outgrow what
// the pairs can make of the text.
//
// Input: a byte for the number of pairs (0..6); per pair a length byte (0..4) and the find
// entry, a length byte (0..8) and the replace entry; a byte for the piece size; the rest is the
// text (at most 2048 bytes).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/case_fold.h"
#include "engine/cp1252.h"
#include "engine/encoding.h"
#include "engine/replace.h"
#include "engine/replace_reference_support.h"
#include "engine/utf8_reference_support.h"
#include "fuzz_support.h"

namespace {

using vk::HtmlCodeList;
using vk::fuzz::Recorder;

// The longest text a list may make; pairs that could grow the text beyond it are left out, so
// the step-by-step version stays quick.
constexpr std::size_t kMaxGrowth = 4096;
constexpr std::size_t kMaxText = 2048;

class Reader {
 public:
  Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool Byte(unsigned* value) {
    if (pos_ >= size_) return false;
    *value = data_[pos_++];
    return true;
  }
  std::string Bytes(std::size_t n) {
    n = std::min(n, size_ - pos_);
    std::string s(reinterpret_cast<const char*>(data_ + pos_), n);
    pos_ += n;
    return s;
  }
  std::string Rest(std::size_t most) { return Bytes(most); }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

std::size_t FindLength(const std::string& find) {
  const std::size_t nul = find.find('\0');
  return nul == std::string::npos ? find.size() : nul;
}

// Each replacement takes the place of find bytes that stood behind everything the pair
// inserted, at least one byte per character of the find entry, so a pair replaces at most
// size / findLength times.
std::size_t SizeAfterPair(std::size_t size, std::size_t findLength, std::size_t replaceLength) {
  if (findLength == 0 || replaceLength <= findLength) return size;
  return size + (size / findLength) * (replaceLength - findLength);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Reader in(data, size);
  unsigned pairs = 0;
  if (!in.Byte(&pairs)) return 0;
  pairs %= 7;
  HtmlCodeList list;
  std::string findEntries[7];
  std::string replaceEntries[7];
  for (unsigned i = 0; i < pairs; ++i) {
    unsigned length = 0;
    if (!in.Byte(&length)) return 0;
    findEntries[i] = in.Bytes(length % 5);
    if (!in.Byte(&length)) return 0;
    replaceEntries[i] = in.Bytes(length % 9);
  }
  unsigned piece = 0;
  if (!in.Byte(&piece)) return 0;
  const std::size_t pieceBytes = 1 + piece % 64;
  const std::string text = in.Rest(kMaxText);

  // A UTF-8 page gets the texts in UTF-8, up to three times as long; an occurrence there is at
  // least one byte per character of the find entry.
  std::size_t bound[2] = {text.size(), text.size()};
  std::int64_t countBound = 0;
  for (unsigned i = 0; i < pairs; ++i) {
    const std::size_t findLength = FindLength(findEntries[i]);
    const std::size_t after[2] = {
        SizeAfterPair(bound[0], findLength, replaceEntries[i].size()),
        SizeAfterPair(bound[1], findLength, vk::Cp1252ToUtf8(replaceEntries[i]).size())};
    if (after[0] > kMaxGrowth || after[1] > kMaxGrowth) continue;
    if (findLength > 0) {
      countBound += static_cast<std::int64_t>(std::max(bound[0], bound[1]) / findLength);
    }
    bound[0] = after[0];
    bound[1] = after[1];
    list.find.push_back(findEntries[i]);
    list.replace.push_back(replaceEntries[i]);
  }

  // The searcher on its own, which every search of the engine goes through.
  for (unsigned i = 0; i < pairs; ++i) {
    VK_CHECK(vk::FindNoCase(findEntries[i], text) ==
             vk::test::ReferenceFindNoCase(findEntries[i], text));
  }

  vk::test::ReferenceResult slow[2];
  for (const vk::PageEncoding encoding :
       {vk::PageEncoding::kWindows1252, vk::PageEncoding::kUtf8}) {
    const int e = encoding == vk::PageEncoding::kUtf8 ? 1 : 0;
    slow[e] = e == 1 ? vk::test::ReferenceReplaceHtmlCodeUtf8(text, list)
                     : vk::test::ReferenceReplaceHtmlCode(text, list);

    std::string fast = text;
    Recorder fastFeedback;
    const std::int64_t fastCount = vk::ReplaceHtmlCodeText(fast, list, encoding, fastFeedback);
    VK_CHECK(fast == slow[e].text);
    VK_CHECK(fastCount == slow[e].count);
    VK_CHECK(fastFeedback.yields == slow[e].yields);
    VK_CHECK(fastFeedback.errors.empty());
    VK_CHECK(fast.size() <= bound[e]);
    VK_CHECK(fastCount >= 0 && fastCount <= countBound);

    std::string pieces = text;
    Recorder pieceFeedback;
    const std::int64_t pieceCount = vk::replace_detail::ReplaceHtmlCodeTextInPieces(
        pieces, list, encoding, pieceFeedback, pieceBytes);
    VK_CHECK(pieces == slow[e].text);
    VK_CHECK(pieceCount == slow[e].count);
    VK_CHECK(pieceFeedback.yields == slow[e].yields);
  }
  const vk::test::ReferenceResult& expected =
      slow[vk::DecidePageEncoding(text) == vk::PageEncoding::kUtf8 ? 1 : 0];

  // The file step: the list is loaded once; the page is read in the encoding its bytes decide;
  // a page with a NUL byte is refused, one without replacements not written.
  const std::string path = "/site/page.htm";
  vk::fuzz::MemoryFile file(path, text);
  Recorder fileFeedback;
  int loads = 0;
  const std::int64_t fileCount = vk::ReplaceHtmlCode(
      path,
      [&] {
        ++loads;
        return std::make_shared<const vk::HtmlCodeList>(list);
      },
      fileFeedback, file);
  VK_CHECK(loads == 1);
  if (list.empty() || text.empty()) {
    // Nothing to look for, or nothing to look in: no message and no write.
    VK_CHECK(fileCount == 0);
    VK_CHECK(file.writes == 0);
    VK_CHECK(fileFeedback.errors.empty());
  } else if (text.find('\0') != std::string::npos) {
    VK_CHECK(fileCount == 0);
    VK_CHECK(file.writes == 0);
    VK_CHECK(fileFeedback.errors.size() == 1);
    VK_CHECK(fileFeedback.errors[0] ==
             "Die Datei " + path + " enthält Null-Bytes und wird nicht verändert!");
  } else {
    VK_CHECK(fileFeedback.errors.empty());
    VK_CHECK(fileCount == expected.count);
    VK_CHECK(file.writes == (expected.count > 0 ? 1 : 0));
    VK_CHECK(file.Content() == expected.text);
  }
  return 0;
}
