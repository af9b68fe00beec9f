#include "engine/special_chars.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>

#include "engine/case_fold.h"
#include "engine/encoding.h"
#include "engine/texts.h"

namespace vk {
namespace {

constexpr std::array<std::string_view, 96> kEntities = {
    "&nbsp;",   "&iexcl;",  "&cent;",   "&pound;",  "&curren;", "&yen;",    "&brvbar;", "&sect;",
    "&uml;",    "&copy;",   "&ordf;",   "&laquo;",  "&not;",    "&shy;",    "&reg;",    "&macr;",
    "&deg;",    "&plusmn;", "&sup2;",   "&sup3;",   "&acute;",  "&micro;",  "&para;",   "&middot;",
    "&cedil;",  "&sup1;",   "&ordm;",   "&raquo;",  "&frac14;", "&frac12;", "&frac34;", "&iquest;",
    "&Agrave;", "&Aacute;", "&Acirc;",  "&Atilde;", "&Auml;",   "&Aring;",  "&AElig;",  "&Ccedil;",
    "&Egrave;", "&Eacute;", "&Ecirc;",  "&Euml;",   "&Igrave;", "&Iacute;", "&Icirc;",  "&Iuml;",
    "&ETH;",    "&Ntilde;", "&Ograve;", "&Oacute;", "&Ocirc;",  "&Otilde;", "&Ouml;",   "&times;",
    "&Oslash;", "&Ugrave;", "&Uacute;", "&Ucirc;",  "&Uuml;",   "&Yacute;", "&THORN;",  "&szlig;",
    "&agrave;", "&aacute;", "&acirc;",  "&atilde;", "&auml;",   "&aring;",  "&aelig;",  "&ccedil;",
    "&egrave;", "&eacute;", "&ecirc;",  "&euml;",   "&igrave;", "&iacute;", "&icirc;",  "&iuml;",
    "&eth;",    "&ntilde;", "&ograve;", "&oacute;", "&ocirc;",  "&otilde;", "&ouml;",   "&divide;",
    "&oslash;", "&ugrave;", "&uacute;", "&ucirc;",  "&uuml;",   "&yacute;", "&thorn;",  "&yuml;",
};

// No entity is longer than this; each converted byte is given this much room in the output,
// so an entity can always be stored with one fixed-size copy.
constexpr std::size_t kSlot = 8;

struct PaddedEntity {
  char bytes[kSlot];
  std::size_t size;
};

constexpr std::array<PaddedEntity, 96> BuildPadded() {
  std::array<PaddedEntity, 96> padded{};
  for (std::size_t i = 0; i < 96; ++i) {
    for (std::size_t k = 0; k < kSlot; ++k) {
      padded[i].bytes[k] = k < kEntities[i].size() ? kEntities[i][k] : '\0';
    }
    padded[i].size = kEntities[i].size();
  }
  return padded;
}

constexpr std::array<PaddedEntity, 96> kPadded = BuildPadded();

constexpr bool EntitiesFitSlot() {
  for (auto e : kEntities) {
    if (e.size() > kSlot || e.front() != '&' || e.back() != ';') return false;
  }
  return true;
}
static_assert(EntitiesFitSlot());

constexpr std::uint64_t kHighBits = 0x8080808080808080ull;
constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
constexpr std::uint64_t kAdd60 = 0x6060606060606060ull;
constexpr std::uint64_t kOnes = 0x0101010101010101ull;

// One bit (bit 7 of the byte) for every byte of `w` in 0xA0..0xFF: the low seven bits plus
// 0x60 reach bit 7 exactly when they are at least 0x20, and never carry into the next byte.
inline std::uint64_t ConvertibleMask(std::uint64_t w) {
  return ((w & kLow7) + kAdd60) & w & kHighBits;
}

inline std::uint64_t LoadWord(const char* p) {
  std::uint64_t w;
  std::memcpy(&w, p, sizeof w);
  return w;
}

inline bool Convertible(char c) { return static_cast<unsigned char>(c) >= 0xA0; }

std::size_t CountConvertible(std::string_view text) {
  const char* p = text.data();
  const char* end = p + text.size();
  std::size_t count = 0;
  for (; end - p >= 8; p += 8) {
    // At most one bit per byte: the multiplication adds the eight 0/1 bytes into the top one.
    count += static_cast<std::size_t>(((ConvertibleMask(LoadWord(p)) >> 7) * kOnes) >> 56);
  }
  for (; p < end; ++p) count += Convertible(*p);
  return count;
}

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "words are read lowest byte first");

inline void StoreWord(char* p, std::uint64_t w) { std::memcpy(p, &w, sizeof w); }

// The conversion is written to a buffer on the stack a few kilobytes of input at a time and
// appended from there, so the page's output buffer is written once, into the room its caller
// reserved, and never filled ahead. A character begun in a piece is finished there (at most
// three bytes more), and each input byte gives at most one slot.
constexpr std::size_t kPieceInput = 4096;
constexpr std::size_t kPieceRoom = (kPieceInput + 3) * kSlot + kSlot;

// Appends the conversion of `text` to *out and returns the number of bytes converted.
std::int64_t AppendConverted(std::string_view text, std::string* out) {
  char piece[kPieceRoom];
  const char* p = text.data();
  const char* const end = p + text.size();
  std::int64_t count = 0;
  while (p < end) {
    const char* const stop = p + std::min<std::size_t>(kPieceInput, end - p);
    char* dst = piece;
    // Every input byte owns at least one output byte, and every convertible byte a whole
    // slot, so eight bytes may be stored at `dst` whenever eight input bytes are left: the
    // excess is overwritten by what follows.
    while (p < stop && end - p >= 8) {
      const std::uint64_t w = LoadWord(p);
      StoreWord(dst, w);
      const std::uint64_t mask = ConvertibleMask(w);
      if (mask == 0) {
        p += 8;
        dst += 8;
        continue;
      }
      const unsigned skip = static_cast<unsigned>(__builtin_ctzll(mask)) >> 3;
      p += skip;
      dst += skip;
      const PaddedEntity& e = kPadded[static_cast<unsigned char>(*p) - 0xA0];
      std::memcpy(dst, e.bytes, kSlot);
      dst += e.size;
      ++p;
      ++count;
    }
    for (; p < stop; ++p) {
      if (!Convertible(*p)) {
        *dst++ = *p;
        continue;
      }
      const PaddedEntity& e = kPadded[static_cast<unsigned char>(*p) - 0xA0];
      std::memcpy(dst, e.bytes, kSlot);
      dst += e.size;
      ++count;
    }
    out->append(piece, static_cast<std::size_t>(dst - piece));
  }
  return count;
}

// The conversion of a piece of a UTF-8 page: each character U+00A0..U+00FF, whether a sequence
// (C2 A0 to C3 BF) or a stray byte 0xA0..0xFF, becomes its entity; every other character keeps
// its bytes. Appends to *out and returns the number of entities written.
std::int64_t AppendConvertedUtf8(std::string_view text, std::string* out) {
  char piece[kPieceRoom];
  const char* p = text.data();
  const char* const end = p + text.size();
  std::int64_t count = 0;
  while (p < end) {
    const char* const stop = p + std::min<std::size_t>(kPieceInput, end - p);
    char* dst = piece;
    // As in the byte conversion, no character gives fewer bytes than it takes, so eight bytes
    // may be stored ahead whenever eight input bytes are left.
    while (p < stop) {
      if (end - p >= 8) {
        const std::uint64_t w = LoadWord(p);
        StoreWord(dst, w);
        const std::uint64_t high = w & kHighBits;
        if (high == 0) {
          p += 8;
          dst += 8;
          continue;
        }
        const unsigned skip = static_cast<unsigned>(__builtin_ctzll(high)) >> 3;
        p += skip;
        dst += skip;
      } else if (static_cast<unsigned char>(*p) < 0x80) {
        *dst++ = *p++;
        continue;
      }
      const auto lead = static_cast<unsigned char>(*p);
      std::size_t length = Utf8SequenceLength(p, end);
      unsigned code = 0;  // the character, where it may have an entity
      if (length == 0) {
        length = 1;
        code = lead;  // a stray byte from 0xA0 on is its own Latin-1 character
      } else if (length == 2 && lead <= 0xC3) {
        code = ((lead & 0x1Fu) << 6) | (static_cast<unsigned char>(p[1]) & 0x3Fu);
      }
      if (code >= 0xA0) {
        const PaddedEntity& e = kPadded[code - 0xA0];
        std::memcpy(dst, e.bytes, kSlot);
        dst += e.size;
        ++count;
      } else {
        std::memcpy(dst, p, length);
        dst += length;
      }
      p += length;
    }
    out->append(piece, static_cast<std::size_t>(dst - piece));
  }
  return count;
}

std::int64_t AppendConverted(std::string_view text, PageEncoding encoding, std::string* out) {
  return encoding == PageEncoding::kUtf8 ? AppendConvertedUtf8(text, out)
                                         : AppendConverted(text, out);
}

// Room for converting every byte of `text` that may become an entity: every character that
// does holds a byte of 0xA0 or above (on a UTF-8 page C3, or the second byte of C2 A0..C2 BF,
// or the stray byte itself).
std::size_t ConvertedRoom(std::string_view text) {
  return text.size() + CountConvertible(text) * (kSlot - 1);
}

// ConvertSpecialCharsText into `out`, which is empty and should have ConvertedRoom.
std::int64_t ConvertInto(std::string_view text, bool ignoreMetaTags, PageEncoding encoding,
                         std::string& out) {
  if (!ignoreMetaTags) return AppendConverted(text, encoding, &out);

  // The tags, and their closing '>', are looked for only up to the first NUL byte; from there
  // on everything is ordinary text.
  const void* nul = std::memchr(text.data(), 0, text.size());
  const std::size_t searchEnd =
      nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - text.data()) : text.size();
  const std::string_view searchable = text.substr(0, searchEnd);
  const FoldedFinder metaTag("<META");

  std::int64_t count = 0;
  std::size_t from = 0;
  for (;;) {
    const std::size_t tag = metaTag.Find(searchable, from);
    if (tag == std::string_view::npos) {
      count += AppendConverted(text.substr(from), encoding, &out);
      break;
    }
    count += AppendConverted(text.substr(from, tag - from), encoding, &out);
    // A META tag ends at the first '>', quotes or not.
    const std::size_t close = searchable.find('>', tag + metaTag.size());
    if (close == std::string_view::npos) {
      // A tag that never ends keeps everything from its start as it is.
      out.append(text.substr(tag));
      break;
    }
    out.append(text.substr(tag, close + 1 - tag));
    from = close + 1;
  }
  return count;
}

}  // namespace

const std::array<std::string_view, 96>& EntityTable() { return kEntities; }

ConvertResult ConvertSpecialChars(std::string_view text) {
  ConvertResult result;
  result.text.reserve(ConvertedRoom(text));
  result.count = AppendConverted(text, &result.text);
  return result;
}

ConvertResult ConvertSpecialCharsText(std::string_view text, bool ignoreMetaTags,
                                      PageEncoding encoding, std::string buffer) {
  ConvertResult result;
  buffer.clear();
  result.text = std::move(buffer);
  result.text.reserve(ConvertedRoom(text));
  result.count = ConvertInto(text, ignoreMetaTags, encoding, result.text);
  return result;
}

std::int64_t ConvertSpecialCharsInFile(const std::string& path, bool ignoreMetaTags,
                                       Feedback& feedback, FileAccess& files,
                                       std::optional<PageEncoding> encoding) {
  const std::string message = FormatText(
      Translate("vk::SpecialChars",
                QT_TRANSLATE_NOOP("vk::SpecialChars", "Konnte %1 nicht öffnen oder schreiben!")),
      {path});
  std::string storage;
  ConvertResult result;
  try {
    std::string_view text;
    if (!files.ReadView(path, &storage, &text).ok()) {
      feedback.Error(message);
      return 0;
    }
    if (text.empty()) return 0;
    files.Reserve(result.text, ConvertedRoom(text));
    result.text.clear();
    result.count = ConvertInto(text, ignoreMetaTags,
                               encoding ? *encoding : DecidePageEncoding(text), result.text);
  } catch (const std::bad_alloc&) {
    feedback.Error(message);
    return 0;
  } catch (const std::length_error&) {
    feedback.Error(message);
    return 0;
  }
  // Every conversion makes the text longer, so a count of 0 is exactly "nothing changed".
  if (result.count == 0) return 0;
  std::string().swap(storage);
  if (!files.Give(path, result.text).ok()) feedback.Error(message);
  return result.count;
}

}  // namespace vk
