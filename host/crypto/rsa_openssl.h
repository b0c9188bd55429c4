#pragma once

// OpenSSL pieces shared by the RSA encoder, decoder and key helpers.  Not for
// use outside host/crypto.

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include <openssl/bio.h>
#include <openssl/evp.h>

namespace rsa_openssl {

struct Free_BIO {
  void operator()(BIO* b) const noexcept { BIO_free(b); }
};
struct Free_PKEY {
  void operator()(EVP_PKEY* k) const noexcept { EVP_PKEY_free(k); }
};
struct Free_PKEY_CTX {
  void operator()(EVP_PKEY_CTX* c) const noexcept { EVP_PKEY_CTX_free(c); }
};

using BIO_ptr = std::unique_ptr<BIO, Free_BIO>;
using PKEY_ptr = std::unique_ptr<EVP_PKEY, Free_PKEY>;
using PKEY_CTX_ptr = std::unique_ptr<EVP_PKEY_CTX, Free_PKEY_CTX>;

// The only padding scheme offered: RSA-OAEP with SHA-256 as both the OAEP
// digest and the MGF1 digest.  PKCS#1 v1.5 is left out on purpose: a peer
// that answers a bad cipher text differently from a good one would turn it
// into a padding oracle.
constexpr int OAEP_SHA256 = 1;

// The RSA private key of a PEM text, or null (also for a key protected by a
// pass phrase: nothing is ever prompted for).
PKEY_ptr read_private_key(const char* pem, std::size_t length);
// The RSA key of a PEM text holding a public or a private key, or null.
PKEY_ptr read_any_key(const char* pem, std::size_t length);

// Sets OAEP with SHA-256 on a context made ready for encryption or
// decryption.
bool use_oaep_sha256(EVP_PKEY_CTX* ctx);

// Base64 text, one line, no line breaks.
std::string base64_encode(const unsigned char* data, std::size_t length);
// The bytes of base64 text (line breaks and blanks between groups allowed);
// false for any other character, bad padding or a cut-off group.
bool base64_decode(const char* text, std::size_t length, std::vector<unsigned char>& out);

// Empties this thread's OpenSSL error queue, so that a failure here leaves
// nothing behind for the next caller to trip over.
void forget_errors() noexcept;

}  // namespace rsa_openssl
