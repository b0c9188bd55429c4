#include "host/crypto/rsa_openssl.h"

#include <climits>

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>

namespace rsa_openssl {
namespace {

// Refuses encrypted PEM keys instead of asking a terminal for a pass phrase.
int no_pass_phrase(char*, int, int, void*) {
  return 0;
}

BIO_ptr read_only_bio(const char* data, std::size_t length) {
  if (data == nullptr || length == 0 || length > INT_MAX) return nullptr;
  return BIO_ptr(BIO_new_mem_buf(data, static_cast<int>(length)));
}

PKEY_ptr only_rsa(EVP_PKEY* key) {
  PKEY_ptr owned(key);
  if (owned && EVP_PKEY_is_a(owned.get(), "RSA")) return owned;
  return nullptr;
}

bool is_base64_char(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
         c == '/' || c == '=' || c == '\n' || c == '\r' || c == ' ' || c == '\t';
}

struct Free_Encode_CTX {
  void operator()(EVP_ENCODE_CTX* c) const noexcept { EVP_ENCODE_CTX_free(c); }
};

}  // namespace

PKEY_ptr read_private_key(const char* pem, std::size_t length) {
  BIO_ptr bio = read_only_bio(pem, length);
  if (!bio) return nullptr;
  return only_rsa(PEM_read_bio_PrivateKey(bio.get(), nullptr, no_pass_phrase, nullptr));
}

PKEY_ptr read_any_key(const char* pem, std::size_t length) {
  if (PKEY_ptr key = read_private_key(pem, length)) return key;
  BIO_ptr bio = read_only_bio(pem, length);
  if (!bio) return nullptr;
  return only_rsa(PEM_read_bio_PUBKEY(bio.get(), nullptr, no_pass_phrase, nullptr));
}

bool use_oaep_sha256(EVP_PKEY_CTX* ctx) {
  return EVP_PKEY_CTX_set_rsa_padding(ctx, RSA_PKCS1_OAEP_PADDING) > 0 &&
         EVP_PKEY_CTX_set_rsa_oaep_md(ctx, EVP_sha256()) > 0 &&
         EVP_PKEY_CTX_set_rsa_mgf1_md(ctx, EVP_sha256()) > 0;
}

std::string base64_encode(const unsigned char* data, std::size_t length) {
  if (length > INT_MAX / 4 * 3 - 3) return std::string();
  std::string text(4 * ((length + 2) / 3) + 1, '\0');
  int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()), data,
                          static_cast<int>(length));
  text.resize(n < 0 ? 0 : static_cast<std::size_t>(n));
  return text;
}

bool base64_decode(const char* text, std::size_t length, std::vector<unsigned char>& out) {
  if (text == nullptr || length > INT_MAX) return false;
  // OpenSSL's decoder stops quietly at a "-" (the start of a PEM footer);
  // here anything outside the alphabet is an error.
  for (std::size_t i = 0; i < length; ++i) {
    if (!is_base64_char(text[i])) return false;
  }
  std::unique_ptr<EVP_ENCODE_CTX, Free_Encode_CTX> ctx(EVP_ENCODE_CTX_new());
  if (!ctx) return false;
  // Four characters give at most three bytes, plus one group held back.
  std::vector<unsigned char> bytes(length / 4 * 3 + 3);
  int n = 0, tail = 0;
  EVP_DecodeInit(ctx.get());
  if (EVP_DecodeUpdate(ctx.get(), bytes.data(), &n, reinterpret_cast<const unsigned char*>(text),
                       static_cast<int>(length)) < 0 ||
      EVP_DecodeFinal(ctx.get(), bytes.data() + n, &tail) < 0) {
    return false;
  }
  bytes.resize(static_cast<std::size_t>(n) + static_cast<std::size_t>(tail));
  out = std::move(bytes);
  return true;
}

void forget_errors() noexcept {
  ERR_clear_error();
}

}  // namespace rsa_openssl
