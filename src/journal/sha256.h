// SHA-256 through OpenSSL's libcrypto (which uses the processor's SHA instructions where it has
// them): how the journal recognises the bytes a run wrote, and how it checks its own records.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string_view>

namespace vk {

using Sha256Digest = std::array<std::uint8_t, 32>;

Sha256Digest Sha256(std::string_view data);

// For data that comes in pieces.
class Sha256Stream {
 public:
  Sha256Stream();
  ~Sha256Stream();
  Sha256Stream(const Sha256Stream&) = delete;
  Sha256Stream& operator=(const Sha256Stream&) = delete;

  void Update(std::string_view data);
  // The digest of everything passed; the stream starts again empty.
  Sha256Digest Finish();

 private:
  struct Context;
  std::unique_ptr<Context> context_;
};

}  // namespace vk
