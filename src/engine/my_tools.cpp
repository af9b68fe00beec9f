#include "engine/my_tools.h"

#include <utility>

#include "engine/texts.h"

namespace vk {

TMyTools::TMyTools(std::string thousandsSeparator) : separator_(std::move(thousandsSeparator)) {}

std::string TMyTools::SizeText(std::int64_t size) const {
  // The limits are decimal, the divisors binary: 1,000,000 bytes read "976 KByte".
  // %1 is the grouped number.
  const char* const bytes = QT_TRANSLATE_NOOP("vk::TMyTools", "%1 Byte");
  const char* const kilobytes = QT_TRANSLATE_NOOP("vk::TMyTools", "%1 KByte");
  const char* const megabytes = QT_TRANSLATE_NOOP("vk::TMyTools", "%1 MByte");
  const char* unit;
  std::int64_t value;
  if (size >= 0 && size <= 999'999) {
    unit = bytes;
    value = size;
  } else if (size >= 1'000'000 && size <= 9'999'999) {
    unit = kilobytes;
    value = size / 1024;
  } else {
    unit = megabytes;
    value = size / 1'048'576;  // truncates toward zero, also for negative totals
    if (value == 0) unit = bytes;
  }
  return FormatText(Translate("vk::TMyTools", unit),
                    {value > 0 ? GroupThousands(value) : std::string("0")});
}

std::string TMyTools::GroupThousands(std::int64_t value) const {
  // Digits of the magnitude; unsigned so that the smallest value has one too.
  std::uint64_t magnitude =
      value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  const std::string digits = std::to_string(magnitude);
  std::string out;
  out.reserve(digits.size() + (digits.size() / 3) * separator_.size() + 1);
  if (value < 0) out.push_back('-');
  // The first group holds 1..3 digits, every later one exactly 3.
  std::size_t lead = digits.size() % 3;
  if (lead == 0) lead = 3;
  out.append(digits, 0, lead);
  for (std::size_t i = lead; i < digits.size(); i += 3) {
    out.append(separator_);
    out.append(digits, i, 3);
  }
  return out;
}

std::string TMyTools::ZeroPad4(std::int64_t value) {
  std::uint64_t magnitude =
      value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  std::string digits = std::to_string(magnitude);
  if (digits.size() < 4) digits.insert(0, 4 - digits.size(), '0');
  return value < 0 ? "-" + digits : digits;
}

std::string TMyTools::UpperCaseGerman(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    const unsigned char b = static_cast<unsigned char>(c);
    if (b >= 'a' && b <= 'z') {
      c = static_cast<char>(b - 32);
    } else if (b == 0xE4 || b == 0xF6 || b == 0xFC) {  // ä ö ü
      c = static_cast<char>(b - 0x20);
    }
  }
  return out;
}

TMyTools& MyTools() {
  static TMyTools tools;
  return tools;
}

}  // namespace vk
