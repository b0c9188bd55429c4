#include "host/crypto/hmac_generator.h"

#include <climits>

#include <openssl/evp.h>
#include <openssl/hmac.h>

namespace {

// An empty key is a valid HMAC key; OpenSSL wants a non-null pointer for it.
const unsigned char EMPTY_KEY[1] = {0};

}  // namespace

HMAC_Generator::HMAC_Generator(const void* key, std::size_t key_len, const void* data,
                               std::size_t data_len, const char* digest_name, bool text) {
  const EVP_MD* md = digest_name ? EVP_get_digestbyname(digest_name) : nullptr;
  if (!md || static_cast<std::size_t>(EVP_MD_get_size(md)) > MAX_DIGEST_SIZE) return;
  if (key_len > INT_MAX) return;
  // A null key is an empty key; with a length it is the caller's mistake,
  // and reading that many bytes from nowhere is not an answer.
  if (!key && key_len != 0) return;
  if (!key) key = EMPTY_KEY;
  if (!data && data_len == 0) data = EMPTY_KEY;
  if (!data) return;
  unsigned int size = 0;
  if (!HMAC(md, key, static_cast<int>(key_len), static_cast<const unsigned char*>(data), data_len,
            digest_, &size)) {
    return;
  }
  digest_size_ = size;
  if (text) {
    // Four characters per three bytes, and the terminating NUL.
    char buf[(MAX_DIGEST_SIZE + 2) / 3 * 4 + 1];
    int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(buf), digest_, size);
    if (n < 0) return;
    text_.assign(buf, static_cast<std::size_t>(n));
  }
  ok_ = true;
}
