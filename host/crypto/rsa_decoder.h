#pragma once

#include <cstddef>

#include "host/support/secure_string.h"

// Decrypts a secret that was encrypted for the host's RSA key pair (see
// RSA_Encoder).  The work is done when the decoder is built; the plain text is
// held in wiped storage and released with the decoder.  Thread-safe: each
// decoder touches only its own arguments.
//
// A cipher text can also be made outside the host, with the public key:
//   openssl pkeyutl -encrypt -pubin -inkey host.pub -pkeyopt rsa_padding_mode:oaep
//     -pkeyopt rsa_oaep_md:sha256 -pkeyopt rsa_mgf1_md:sha256 | openssl base64 -A
class RSA_Decoder {
 public:
  // `base64`: the cipher text is base64 text (as stored in settings, line
  // breaks allowed) when true, the raw bytes when false.
  static constexpr bool BASE64_TEXT = true;
  // `scheme`: the padding scheme.  1 is RSA-OAEP with SHA-256 as the OAEP and
  // the MGF1 digest, the only one accepted; any other value yields nothing.
  static constexpr int OAEP_SHA256 = 1;

  // `key` is the PEM text of an unencrypted RSA private key.
  RSA_Decoder(const char* cipher, std::size_t cipher_length, const char* key,
              std::size_t key_length, bool base64, int scheme) noexcept;

  RSA_Decoder(const RSA_Decoder&) = delete;
  RSA_Decoder& operator=(const RSA_Decoder&) = delete;

  // True when the cipher text decrypted.  A wrong key, a damaged or cut-off
  // cipher text, another padding and a malformed key all look the same here.
  explicit operator bool() const noexcept { return ok_; }

  // The plain text, or null when nothing decrypted.
  const char* get() const noexcept { return ok_ ? plain_.data() : nullptr; }
  std::size_t length() const noexcept { return ok_ ? plain_.size() : 0; }

 private:
  bool decode(const char* cipher, std::size_t cipher_length, const char* key,
              std::size_t key_length, bool base64, int scheme);

  secure_string plain_;
  bool ok_ = false;
};
