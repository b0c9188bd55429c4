#include "host/crypto/rsa_encoder.h"

#include <vector>

#include "host/crypto/rsa_openssl.h"

RSA_Encoder::RSA_Encoder(const char* plain, std::size_t plain_length, const char* key,
                         std::size_t key_length, bool base64, int scheme) noexcept {
  try {
    ok_ = encode(plain, plain_length, key, key_length, base64, scheme);
  } catch (const std::exception&) {
    ok_ = false;  // out of memory
  }
  if (!ok_) {
    cipher_.clear();
    rsa_openssl::forget_errors();
  }
}

bool RSA_Encoder::encode(const char* plain, std::size_t plain_length, const char* key,
                         std::size_t key_length, bool base64, int scheme) {
  using namespace rsa_openssl;
  if (scheme != OAEP_SHA256 || (plain == nullptr && plain_length != 0)) return false;
  PKEY_ptr pkey = read_any_key(key, key_length);
  if (!pkey) return false;

  PKEY_CTX_ptr ctx(EVP_PKEY_CTX_new(pkey.get(), nullptr));
  if (!ctx || EVP_PKEY_encrypt_init(ctx.get()) <= 0 || !use_oaep_sha256(ctx.get())) return false;
  const unsigned char* in = reinterpret_cast<const unsigned char*>(plain);
  std::size_t out_length = 0;
  if (EVP_PKEY_encrypt(ctx.get(), nullptr, &out_length, in, plain_length) <= 0) return false;
  std::vector<unsigned char> out(out_length);
  if (EVP_PKEY_encrypt(ctx.get(), out.data(), &out_length, in, plain_length) <= 0) return false;
  out.resize(out_length);

  if (base64) {
    cipher_ = base64_encode(out.data(), out.size());
    return !cipher_.empty();
  }
  cipher_.assign(out.begin(), out.end());
  return true;
}
