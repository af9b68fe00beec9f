// Special-character conversion on arbitrary bytes, with and without keeping META tags, read as
// Windows-1252 and as UTF-8: the engine must give exactly what the byte-by-byte and the
// character-by-character versions give, grow a text at most eightfold, and write a file only
// when a byte changed; the file step reads the page in the encoding its bytes decide.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/encoding.h"
#include "engine/replace_reference_support.h"
#include "engine/special_chars.h"
#include "engine/utf8_reference_support.h"
#include "fuzz_support.h"

namespace {

using vk::ConvertResult;

// One byte at a time into the entity table.
ConvertResult SlowConvert(std::string_view text) {
  ConvertResult r;
  for (char c : text) {
    const unsigned char b = static_cast<unsigned char>(c);
    if (b >= 0xA0) {
      r.text += vk::EntityTable()[b - 0xA0];
      ++r.count;
    } else {
      r.text += c;
    }
  }
  return r;
}

// The META rule as it reads: search the rest from its start for "<META" (ignoring case, up to
// the first NUL), convert what stands before it, copy the tag up to its first '>' (looked for
// up to that NUL as well) and go on behind it. A tag without its '>' keeps the rest.
ConvertResult SlowConvertKeepingMeta(std::string_view text,
                                     ConvertResult (*convert)(std::string_view)) {
  ConvertResult r;
  std::string_view rest = text;
  for (;;) {
    const std::size_t p = vk::test::ReferenceFindNoCase("<META", rest);
    const ConvertResult before = convert(p == 0 ? rest : rest.substr(0, p - 1));
    r.text += before.text;
    r.count += before.count;
    if (p == 0) return r;
    rest.remove_prefix(p - 1);
    std::size_t close = std::string_view::npos;
    for (std::size_t k = 0; k < rest.size() && rest[k] != '\0'; ++k) {
      if (rest[k] == '>') {
        close = k;
        break;
      }
    }
    if (close == std::string_view::npos) {
      r.text += rest;
      return r;
    }
    r.text += rest.substr(0, close + 1);
    rest.remove_prefix(close + 1);
  }
}

void CheckFile(const std::string& text, bool keepMeta, const ConvertResult& expected) {
  vk::fuzz::MemoryFile file("/site/page.htm", text);
  vk::fuzz::Recorder feedback;
  const std::int64_t count =
      vk::ConvertSpecialCharsInFile("/site/page.htm", keepMeta, feedback, file);
  VK_CHECK(feedback.errors.empty());
  VK_CHECK(count == expected.count);
  // Unchanged bytes are never written, so the file keeps its time stamp.
  VK_CHECK(file.writes == (expected.text != text ? 1 : 0));
  VK_CHECK(file.Content() == (text.empty() ? text : expected.text));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const vk::PageEncoding decided = vk::DecidePageEncoding(text);
  VK_CHECK(decided == vk::test::ReferenceDecideEncoding(text));
  for (const vk::PageEncoding encoding :
       {vk::PageEncoding::kWindows1252, vk::PageEncoding::kUtf8}) {
    const auto convert =
        encoding == vk::PageEncoding::kUtf8 ? vk::test::ReferenceConvertUtf8 : SlowConvert;
    for (const bool keepMeta : {false, true}) {
      const ConvertResult fast = vk::ConvertSpecialCharsText(text, keepMeta, encoding);
      const ConvertResult slow = keepMeta ? SlowConvertKeepingMeta(text, convert) : convert(text);
      VK_CHECK(fast.text == slow.text);
      VK_CHECK(fast.count == slow.count);
      VK_CHECK(fast.count >= 0 && static_cast<std::size_t>(fast.count) <= size);
      VK_CHECK(fast.text.size() <= 8 * size);
      // Every converted character, of one byte or of two, became an entity of four or more.
      const std::size_t growth = encoding == vk::PageEncoding::kUtf8 ? 2 : 3;
      VK_CHECK(fast.text.size() >= size + growth * static_cast<std::size_t>(fast.count));
      if (encoding == decided) CheckFile(text, keepMeta, slow);
    }
  }
  const ConvertResult plain = vk::ConvertSpecialChars(text);
  VK_CHECK(plain.text == SlowConvert(text).text);
  // A converted text holds nothing left to convert, in either reading.
  VK_CHECK(vk::ConvertSpecialChars(plain.text).count == 0);
  const ConvertResult utf8 = vk::ConvertSpecialCharsText(text, false, vk::PageEncoding::kUtf8);
  VK_CHECK(vk::ConvertSpecialCharsText(utf8.text, false, vk::PageEncoding::kUtf8).count == 0);
  return 0;
}
