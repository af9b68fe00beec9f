// The size text of the lists and the number texts behind it. One shared instance for the whole
// program, which carries the thousands separator of the user's regional settings.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vk {

class TMyTools {
 public:
  explicit TMyTools(std::string thousandsSeparator = ".");

  // The separator of the user's regional settings (UTF-8, usually "." or ",").
  void SetThousandsSeparator(std::string separator) { separator_ = std::move(separator); }
  const std::string& ThousandsSeparator() const { return separator_; }

  // "1.464 KByte": below 1,000,000 bytes "Byte"; below 10,000,000 size div 1024 "KByte";
  // else size div 1,048,576 "MByte" ("Byte" when that is 0). Negative sizes give "0 Byte" or
  // "0 MByte".
  std::string SizeText(std::int64_t size) const;
  // Decimal digits grouped by the thousands separator ("1.234.567"). Meant for values that
  // are not negative; a negative one gets a '-' in front of its grouped digits.
  std::string GroupThousands(std::int64_t value) const;
  // Decimal digits with leading zeros up to four characters ("0007", "12345"); a negative
  // value gets a '-' in front of its padded digits.
  static std::string ZeroPad4(std::int64_t value);
  // 'a'..'z' and the Windows-1252 bytes of ä, ö, ü upper-cased; every other byte unchanged.
  static std::string UpperCaseGerman(std::string_view text);

 private:
  std::string separator_;
};

// The one shared instance.
TMyTools& MyTools();

}  // namespace vk
