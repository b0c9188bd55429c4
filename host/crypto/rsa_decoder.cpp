#include "host/crypto/rsa_decoder.h"

#include <vector>

#include "host/crypto/rsa_openssl.h"
#include "host/support/secure_memset.h"

RSA_Decoder::RSA_Decoder(const char* cipher, std::size_t cipher_length, const char* key,
                         std::size_t key_length, bool base64, int scheme) noexcept {
  try {
    ok_ = decode(cipher, cipher_length, key, key_length, base64, scheme);
  } catch (const std::exception&) {
    ok_ = false;  // out of memory: no result, as for any other failure
  }
  if (!ok_) {
    secure_memset(plain_.data(), 0, plain_.size());
    plain_.clear();
    rsa_openssl::forget_errors();
  }
}

bool RSA_Decoder::decode(const char* cipher, std::size_t cipher_length, const char* key,
                         std::size_t key_length, bool base64, int scheme) {
  using namespace rsa_openssl;
  if (scheme != OAEP_SHA256 || cipher == nullptr) return false;

  std::vector<unsigned char> decoded;
  const unsigned char* in = reinterpret_cast<const unsigned char*>(cipher);
  std::size_t in_length = cipher_length;
  if (base64) {
    if (!base64_decode(cipher, cipher_length, decoded)) return false;
    in = decoded.data();
    in_length = decoded.size();
  }

  PKEY_ptr pkey = read_private_key(key, key_length);
  // A cipher text is exactly as long as the key's modulus.
  if (!pkey || in_length != static_cast<std::size_t>(EVP_PKEY_get_size(pkey.get()))) return false;

  PKEY_CTX_ptr ctx(EVP_PKEY_CTX_new(pkey.get(), nullptr));
  if (!ctx || EVP_PKEY_decrypt_init(ctx.get()) <= 0 || !use_oaep_sha256(ctx.get())) return false;
  std::size_t out_length = 0;
  if (EVP_PKEY_decrypt(ctx.get(), nullptr, &out_length, in, in_length) <= 0) return false;
  plain_.resize(out_length);
  unsigned char* out = reinterpret_cast<unsigned char*>(plain_.data());
  if (EVP_PKEY_decrypt(ctx.get(), out, &out_length, in, in_length) <= 0) return false;
  plain_.resize(out_length);
  return true;
}
