// Windows-1252 bytes <-> UTF-8 text, for the edge where page and settings bytes meet a widget.
// Every byte has a character: the five bytes the code page leaves undefined (0x81, 0x8D, 0x8F,
// 0x90, 0x9D) stand for the control characters U+0081 etc., so any byte string survives the
// round trip unchanged.
#pragma once

#include <string>
#include <string_view>

namespace vk {

// The character of a byte: the bytes 0x80..0x9F have their Windows-1252 characters (the five
// undefined ones U+0081 etc.), every other byte the code point of its own value.
char32_t Cp1252Char(unsigned char byte);

// Each byte as the UTF-8 form of its Windows-1252 character.
std::string Cp1252ToUtf8(std::string_view bytes);

// The Windows-1252 bytes of UTF-8 `text`. Returns false when a character has no Windows-1252
// byte (or `text` is not valid UTF-8); then *out holds the bytes converted before it and, when
// `badChar` is given, *badChar the UTF-8 form of that character (U+FFFD for broken UTF-8).
bool Utf8ToCp1252(std::string_view text, std::string* out, std::string* badChar = nullptr);

}  // namespace vk
