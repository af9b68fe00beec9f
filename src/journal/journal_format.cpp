#include "journal/journal_format.h"

#include <cstring>

namespace vk::journal {
namespace {

void PutLittleEndian(char* out, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::uint64_t GetLittleEndian(std::string_view bytes) {
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    value |= static_cast<std::uint64_t>(static_cast<unsigned char>(bytes[i])) << (8 * i);
  }
  return value;
}

}  // namespace

std::string Magic() {
  std::string magic = "VKJR";
  magic.resize(kMagicSize);
  PutLittleEndian(magic.data() + 4, kFormatVersion, 4);
  return magic;
}

bool KnownType(std::uint8_t type) {
  switch (static_cast<RecordType>(type)) {
    case RecordType::kRun:
    case RecordType::kPage:
    case RecordType::kNotKept:
    case RecordType::kUndone:
      return true;
  }
  return false;
}

void PutHeader(char* out, RecordType type, std::uint64_t bodyLength) {
  std::memset(out, 0, kHeaderSize);
  PutLittleEndian(out, bodyLength, 8);
  out[8] = static_cast<char>(type);
}

void PutCheck(const char* record, std::size_t size, char* out) {
  const Sha256Digest digest = Sha256(std::string_view(record, size));
  std::memcpy(out, digest.data(), kCheckSize);
}

void BodyWriter::U32(std::uint32_t value) {
  char bytes[4];
  PutLittleEndian(bytes, value, 4);
  out_.append(bytes, 4);
}

void BodyWriter::U64(std::uint64_t value) {
  char bytes[8];
  PutLittleEndian(bytes, value, 8);
  out_.append(bytes, 8);
}

void BodyWriter::Text(std::string_view text) {
  U32(static_cast<std::uint32_t>(text.size()));
  out_.append(text);
}

std::string_view BodyReader::Raw(std::size_t size) {
  if (!ok_ || rest_.size() < size) {
    ok_ = false;
    return {};
  }
  const std::string_view bytes = rest_.substr(0, size);
  rest_.remove_prefix(size);
  return bytes;
}

std::uint8_t BodyReader::U8() {
  const std::string_view bytes = Raw(1);
  return ok_ ? static_cast<std::uint8_t>(bytes[0]) : 0;
}

std::uint32_t BodyReader::U32() { return static_cast<std::uint32_t>(GetLittleEndian(Raw(4))); }

std::uint64_t BodyReader::U64() { return GetLittleEndian(Raw(8)); }

std::string BodyReader::Text() {
  const std::uint32_t size = U32();
  return std::string(Raw(size));
}

void WriteFacts(BodyWriter& writer, const PageFacts& facts) {
  writer.I64(facts.order);
  writer.U64(facts.device);
  writer.U64(facts.inode);
  writer.I64(facts.oldSize);
  writer.I64(facts.newSize);
  writer.Raw(
      std::string_view(reinterpret_cast<const char*>(facts.newHash.data()), facts.newHash.size()));
  writer.Text(facts.path);
}

bool ReadFacts(BodyReader& reader, PageFacts* facts) {
  facts->order = reader.I64();
  facts->device = reader.U64();
  facts->inode = reader.U64();
  facts->oldSize = reader.I64();
  facts->newSize = reader.I64();
  const std::string_view hash = reader.Raw(facts->newHash.size());
  if (reader.ok()) std::memcpy(facts->newHash.data(), hash.data(), hash.size());
  facts->path = reader.Text();
  return reader.ok() && facts->oldSize >= 0 && facts->newSize >= 0;
}

}  // namespace vk::journal
