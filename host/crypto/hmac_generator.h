#pragma once

#include <cstddef>
#include <string>

// An HMAC (RFC 2104) of one message, computed at construction:
//
//   HMAC_Generator mac(key, key_len, data, data_len, "sha256", true);
//   if (!mac) ...;            // unknown digest or a crypto failure
//   mac.c_str();              // the digest in standard base64
//
// `digest_name` is a digest known to OpenSSL ("sha256", "sha1", ...).  With
// `text` the digest is also rendered as base64 text (RFC 4648, with padding,
// no line breaks).
class HMAC_Generator {
 public:
  static constexpr std::size_t MAX_DIGEST_SIZE = 64;

  HMAC_Generator(const void* key, std::size_t key_len, const void* data, std::size_t data_len,
                 const char* digest_name, bool text);

  explicit operator bool() const noexcept { return ok_; }

  const unsigned char* digest() const noexcept { return digest_; }
  std::size_t digest_size() const noexcept { return digest_size_; }
  // The base64 text when asked for, else empty.
  const char* c_str() const noexcept { return text_.c_str(); }
  std::size_t length() const noexcept { return text_.size(); }

 private:
  bool ok_ = false;
  unsigned char digest_[MAX_DIGEST_SIZE] = {};
  std::size_t digest_size_ = 0;
  std::string text_;
};
