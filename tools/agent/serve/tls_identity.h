#pragma once

#include <string>
#include <vector>

typedef struct x509_st X509;
typedef struct evp_pkey_st EVP_PKEY;
typedef struct ssl_ctx_st SSL_CTX;

// What `serve --tls-cert F --tls-key F` serves HTTPS with: the certificate,
// the chain that follows it in its file, and the private key.
class Tls_Identity {
 public:
  Tls_Identity() = default;
  ~Tls_Identity();
  Tls_Identity(const Tls_Identity&) = delete;
  Tls_Identity& operator=(const Tls_Identity&) = delete;

  // Reads both PEM files.  The key file must be a regular file that others
  // cannot read, and its key not encrypted (nobody is there to type its
  // passphrase).  False, with the problem in `error`.  What an earlier
  // load read is let go.
  bool load(const std::string& cert_file, const std::string& key_file, std::string& error);

  X509* cert() const { return cert_; }
  const std::vector<X509*>& chain() const { return chain_; }
  EVP_PKEY* key() const { return key_; }

 private:
  void clear();

  X509* cert_ = nullptr;
  std::vector<X509*> chain_;
  EVP_PKEY* key_ = nullptr;
};

// Makes `ctx` serve with this certificate, chain and key, TLS 1.2 or later.
// False, with the problem in `error`, when the key is not the certificate's.
bool use_tls_identity(SSL_CTX& ctx, X509* cert, const std::vector<X509*>& chain, EVP_PKEY* key,
                      std::string& error);

// The host names a certificate is for: its DNS names ("*.example.com"
// included) and IP addresses (IPv6 in brackets) in lower case.
std::vector<std::string> certificate_names(X509* cert);
