#pragma once

#include <cstddef>
#include <string>

// Encrypts a secret for an RSA key pair, the way a host stores a secret so
// that only RSA_Decoder with the pair's private key reads it back.  The work
// is done when the encoder is built.  The plain text is only read; the cipher
// text is not secret.  Thread-safe: each encoder touches only its own
// arguments.
class RSA_Encoder {
 public:
  // `base64`: the cipher text is written as one line of base64 text when
  // true, as raw bytes when false.
  static constexpr bool BASE64_TEXT = true;
  // `scheme`: 1 is RSA-OAEP with SHA-256 as the OAEP and the MGF1 digest, the
  // only one offered; any other value yields nothing.
  static constexpr int OAEP_SHA256 = 1;

  // `key` is the PEM text of an RSA public key or of an unencrypted private
  // key.  A plain text longer than the key's modulus less 66 bytes does not
  // fit and yields nothing.
  RSA_Encoder(const char* plain, std::size_t plain_length, const char* key, std::size_t key_length,
              bool base64, int scheme) noexcept;

  explicit operator bool() const noexcept { return ok_; }
  const char* get() const noexcept { return ok_ ? cipher_.data() : nullptr; }
  std::size_t length() const noexcept { return ok_ ? cipher_.size() : 0; }

 private:
  bool encode(const char* plain, std::size_t plain_length, const char* key, std::size_t key_length,
              bool base64, int scheme);

  std::string cipher_;
  bool ok_ = false;
};
