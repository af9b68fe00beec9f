#include "journal/sha256.h"

#include <openssl/evp.h>

#include <new>

namespace vk {
namespace {

// Fetched once: an implicit fetch on every use costs more than hashing a small record.
const EVP_MD* Sha256Method() {
  static EVP_MD* const method = EVP_MD_fetch(nullptr, "SHA256", nullptr);
  return method;
}

}  // namespace

struct Sha256Stream::Context {
  EVP_MD_CTX* ctx = EVP_MD_CTX_new();
  ~Context() { EVP_MD_CTX_free(ctx); }
};

Sha256Stream::Sha256Stream() : context_(std::make_unique<Context>()) {
  if (context_->ctx == nullptr || EVP_DigestInit_ex(context_->ctx, Sha256Method(), nullptr) != 1) {
    throw std::bad_alloc();
  }
}

Sha256Stream::~Sha256Stream() = default;

void Sha256Stream::Update(std::string_view data) {
  EVP_DigestUpdate(context_->ctx, data.data(), data.size());
}

Sha256Digest Sha256Stream::Finish() {
  Sha256Digest digest{};
  unsigned int size = 0;
  EVP_DigestFinal_ex(context_->ctx, digest.data(), &size);
  EVP_DigestInit_ex(context_->ctx, Sha256Method(), nullptr);
  return digest;
}

Sha256Digest Sha256(std::string_view data) {
  Sha256Digest digest{};
  unsigned int size = 0;
  EVP_Digest(data.data(), data.size(), digest.data(), &size, Sha256Method(), nullptr);
  return digest;
}

}  // namespace vk
