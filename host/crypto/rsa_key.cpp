#include "host/crypto/rsa_key.h"

#include <openssl/pem.h>
#include <openssl/rsa.h>

#include "host/crypto/rsa_openssl.h"

namespace {

// Copies what a memory BIO holds into `out`.
template <class String>
bool take_bio_text(BIO* bio, String& out) {
  BUF_MEM* mem = nullptr;
  if (BIO_get_mem_ptr(bio, &mem) <= 0 || mem == nullptr) return false;
  out.assign(mem->data, mem->length);
  return true;
}

}  // namespace

bool generate_rsa_private_key(unsigned bits, secure_string& pem) noexcept {
  using namespace rsa_openssl;
  bool ok = false;
  try {
    if (bits >= 2048) {
      PKEY_ptr key(EVP_RSA_gen(bits));
      // A secure memory BIO wipes its buffer when it is freed.
      BIO_ptr bio(BIO_new(BIO_s_secmem()));
      secure_string text;
      ok = key && bio &&
           PEM_write_bio_PrivateKey(bio.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) >
               0 &&
           take_bio_text(bio.get(), text);
      if (ok) pem = std::move(text);
    }
  } catch (const std::exception&) {
    ok = false;
  }
  if (!ok) forget_errors();
  return ok;
}

bool rsa_public_key_pem(const char* private_pem, std::size_t length, std::string& out) noexcept {
  using namespace rsa_openssl;
  bool ok = false;
  try {
    PKEY_ptr key = read_private_key(private_pem, length);
    BIO_ptr bio(BIO_new(BIO_s_mem()));
    std::string text;
    ok = key && bio && PEM_write_bio_PUBKEY(bio.get(), key.get()) > 0 &&
         take_bio_text(bio.get(), text);
    if (ok) out = std::move(text);
  } catch (const std::exception&) {
    ok = false;
  }
  if (!ok) forget_errors();
  return ok;
}
