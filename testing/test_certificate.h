#pragma once

#include <string>

typedef struct x509_st X509;
typedef struct evp_pkey_st EVP_PKEY;

namespace testing_support {

// A self-signed certificate made at test time (P-256 key, valid from an hour
// ago for a day) for the given subject alternative names, such as
// "IP:127.0.0.1,DNS:localhost".  Its PEM lies in a temporary file, removed
// with the object, for use as a CA file.
class Test_Certificate {
 public:
  explicit Test_Certificate(const std::string& alt_names);
  ~Test_Certificate();
  Test_Certificate(const Test_Certificate&) = delete;
  Test_Certificate& operator=(const Test_Certificate&) = delete;

  X509* cert() const noexcept { return cert_; }
  EVP_PKEY* key() const noexcept { return key_; }
  const std::string& pem_file() const noexcept { return pem_file_; }

 private:
  void make(const std::string& alt_names);

  X509* cert_ = nullptr;
  EVP_PKEY* key_ = nullptr;
  std::string pem_file_;
};

}  // namespace testing_support
