// The journal file's layout, shared by its writer and its reader:
//   file   = magic ("VKJR", then the format version as a 32-bit number) record...
//   record = body length (64 bits), type (1 byte), 7 zero bytes, body, check (8 bytes)
// The check is the first 8 bytes of the SHA-256 of the header and the body, so a record cut
// short by a kill, or a tail of zeros after a power cut, reads as the end of the journal.
// Numbers are little-endian; texts are a 32-bit length and raw bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "journal/sha256.h"

namespace vk::journal {

inline constexpr std::uint32_t kFormatVersion = 1;
inline constexpr std::size_t kMagicSize = 8;
inline constexpr std::size_t kHeaderSize = 16;
inline constexpr std::size_t kCheckSize = 8;

// The first kMagicSize bytes of every journal.
std::string Magic();

enum class RecordType : std::uint8_t {
  kRun = 'R',      // the first record: time, operation, folder, id
  kPage = 'P',     // a page and its old bytes, compressed
  kNotKept = 'N',  // a page whose old bytes did not fit under the limit
  kUndone = 'U',   // the run was undone completely
};

bool KnownType(std::uint8_t type);

// A record's 16 header bytes at `out`.
void PutHeader(char* out, RecordType type, std::uint64_t bodyLength);
// The check of the `size` bytes of header and body at `record`.
void PutCheck(const char* record, std::size_t size, char* out);

// Appends numbers and texts to a body.
class BodyWriter {
 public:
  explicit BodyWriter(std::string& out) : out_(out) {}
  void U8(std::uint8_t value) { out_.push_back(static_cast<char>(value)); }
  void U32(std::uint32_t value);
  void U64(std::uint64_t value);
  void I64(std::int64_t value) { U64(static_cast<std::uint64_t>(value)); }
  void Text(std::string_view text);
  void Raw(std::string_view bytes) { out_.append(bytes); }

 private:
  std::string& out_;
};

// Takes numbers and texts from a body; once something is missing every further read fails.
class BodyReader {
 public:
  explicit BodyReader(std::string_view body) : rest_(body) {}
  bool ok() const { return ok_; }
  std::string_view Rest() const { return rest_; }
  std::uint8_t U8();
  std::uint32_t U32();
  std::uint64_t U64();
  std::int64_t I64() { return static_cast<std::int64_t>(U64()); }
  std::string Text();
  std::string_view Raw(std::size_t size);

 private:
  std::string_view rest_;
  bool ok_ = true;
};

// What the records of a page hold besides its old bytes.
struct PageFacts {
  std::int64_t order = 0;  // the page's position in the run
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::int64_t oldSize = 0;
  std::int64_t newSize = 0;
  Sha256Digest newHash{};
  std::string path;
};

void WriteFacts(BodyWriter& writer, const PageFacts& facts);
// False when the body is too short for them.
bool ReadFacts(BodyReader& reader, PageFacts* facts);

}  // namespace vk::journal
