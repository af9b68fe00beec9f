#include "engine/case_fold.h"

#include <cstring>

namespace vk {
namespace {

std::array<unsigned char, 256> BuildCaseFoldTable() {
  std::array<unsigned char, 256> table{};
  for (int b = 0; b < 256; ++b) table[b] = static_cast<unsigned char>(b);
  for (int b = 'A'; b <= 'Z'; ++b) table[b] = static_cast<unsigned char>(b + 32);
  for (int b = 0xC0; b <= 0xDE; ++b) {
    if (b != 0xD7)
      table[b] = static_cast<unsigned char>(b + 0x20);  // the multiplication sign stays
  }
  table[0x8A] = 0x9A;  // S with caron
  table[0x8C] = 0x9C;  // OE ligature
  table[0x8E] = 0x9E;  // Z with caron
  table[0x9F] = 0xFF;  // Y with diaeresis
  return table;
}

std::string_view UpToNul(std::string_view s) {
  const void* nul = std::memchr(s.data(), 0, s.size());
  return nul ? s.substr(0, static_cast<const char*>(nul) - s.data()) : s;
}

}  // namespace

const std::array<unsigned char, 256>& CaseFoldTable() {
  static const std::array<unsigned char, 256> table = BuildCaseFoldTable();
  return table;
}

std::string FoldCase(std::string_view text) {
  const auto& fold = CaseFoldTable();
  std::string out(text.size(), '\0');
  for (std::size_t i = 0; i < text.size(); ++i) {
    out[i] = static_cast<char>(fold[static_cast<unsigned char>(text[i])]);
  }
  return out;
}

NoCaseSearcher::NoCaseSearcher(std::string_view pattern) : folded_(FoldCase(pattern)) {
  if (folded_.empty()) return;
  const auto& fold = CaseFoldTable();
  const unsigned char first = static_cast<unsigned char>(folded_[0]);
  // Every byte folds to itself or to one other; find the bytes that fold to `first`.
  int found = 0;
  for (int b = 0; b < 256; ++b) {
    if (fold[b] != first) continue;
    if (found == 0) {
      firstLower_ = static_cast<unsigned char>(b);
    } else {
      firstUpper_ = static_cast<unsigned char>(b);
      firstHasTwin_ = true;
    }
    ++found;
  }
}

std::size_t NoCaseSearcher::Find(std::string_view text, std::size_t from) const {
  const std::size_t m = folded_.size();
  if (m == 0 || from > text.size() || text.size() - from < m) return npos;
  const auto& fold = CaseFoldTable();
  const char* base = text.data();
  const std::size_t last = text.size() - m;  // last start position that can match
  const char* end = base + last + 1;
  const char* nextA = nullptr;
  const char* nextB = nullptr;
  const char* pos = base + from;
  auto scan = [&](unsigned char c, const char* p) -> const char* {
    const void* hit = std::memchr(p, c, static_cast<std::size_t>(end - p));
    return hit ? static_cast<const char*>(hit) : end;
  };
  nextA = scan(firstLower_, pos);
  nextB = firstHasTwin_ ? scan(firstUpper_, pos) : end;
  while (true) {
    const char* cand = nextA < nextB ? nextA : nextB;
    if (cand >= end) return npos;
    std::size_t k = 1;
    while (k < m &&
           fold[static_cast<unsigned char>(cand[k])] == static_cast<unsigned char>(folded_[k])) {
      ++k;
    }
    if (k == m) return static_cast<std::size_t>(cand - base);
    if (cand == nextA) nextA = scan(firstLower_, cand + 1);
    if (cand == nextB) nextB = scan(firstUpper_, cand + 1);
  }
}

std::size_t FindNoCase(std::string_view pattern, std::string_view text) {
  pattern = UpToNul(pattern);
  text = UpToNul(text);
  const std::size_t pos = NoCaseSearcher(pattern).Find(text);
  return pos == NoCaseSearcher::npos ? 0 : pos + 1;
}

}  // namespace vk
