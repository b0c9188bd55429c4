#include "tools/agent/serve/tls_identity.h"

#include <arpa/inet.h>
#include <cctype>
#include <sys/socket.h>

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include "host/support/secure_string.h"
#include "tools/agent/files.h"

namespace {

constexpr std::size_t MAX_PEM_FILE = 1024 * 1024;

// Refuses to ask for a passphrase: OpenSSL's own callback would ask on the
// terminal.
int no_passphrase(char*, int, int, void*) {
  return -1;
}

}  // namespace

Tls_Identity::~Tls_Identity() {
  clear();
}

void Tls_Identity::clear() {
  X509_free(cert_);
  for (X509* c : chain_)
    X509_free(c);
  EVP_PKEY_free(key_);
  cert_ = nullptr;
  chain_.clear();
  key_ = nullptr;
}

bool Tls_Identity::load(const std::string& cert_file, const std::string& key_file,
                        std::string& error) {
  clear();
  secure_string text;
  if (!read_file(cert_file, text, MAX_PEM_FILE, PUBLIC_FILE, error)) return false;
  BIO* bio = BIO_new_mem_buf(text.data(), static_cast<int>(text.size()));
  cert_ = bio ? PEM_read_bio_X509(bio, nullptr, no_passphrase, nullptr) : nullptr;
  while (X509* next = cert_ ? PEM_read_bio_X509(bio, nullptr, no_passphrase, nullptr) : nullptr)
    chain_.push_back(next);
  BIO_free(bio);
  ERR_clear_error();  // the end of the chain
  if (!cert_) {
    error = "no PEM certificate in " + cert_file;
    return false;
  }
  if (!read_file(key_file, text, MAX_PEM_FILE, PROTECTED_FILE, error)) return false;
  bio = BIO_new_mem_buf(text.data(), static_cast<int>(text.size()));
  key_ = bio ? PEM_read_bio_PrivateKey(bio, nullptr, no_passphrase, nullptr) : nullptr;
  BIO_free(bio);
  ERR_clear_error();
  if (!key_) {
    error = "no PEM private key in " + key_file + " (an encrypted key is not taken)";
    return false;
  }
  return true;
}

bool use_tls_identity(SSL_CTX& ctx, X509* cert, const std::vector<X509*>& chain, EVP_PKEY* key,
                      std::string& error) {
  bool ok = SSL_CTX_set_min_proto_version(&ctx, TLS1_2_VERSION) == 1 &&
            SSL_CTX_use_certificate(&ctx, cert) == 1;
  for (X509* c : chain)
    ok = ok && SSL_CTX_add1_chain_cert(&ctx, c) == 1;
  if (!ok || SSL_CTX_use_PrivateKey(&ctx, key) != 1 || SSL_CTX_check_private_key(&ctx) != 1) {
    error = ok ? "the TLS key does not belong to the certificate" : "cannot use the certificate";
    ERR_clear_error();
    return false;
  }
  return true;
}

std::vector<std::string> certificate_names(X509* cert) {
  std::vector<std::string> names;
  auto* alt =
      static_cast<GENERAL_NAMES*>(X509_get_ext_d2i(cert, NID_subject_alt_name, nullptr, nullptr));
  for (int i = 0; alt && i < sk_GENERAL_NAME_num(alt); ++i) {
    const GENERAL_NAME* name = sk_GENERAL_NAME_value(alt, i);
    if (name->type == GEN_DNS) {
      const ASN1_STRING* dns = name->d.dNSName;
      std::string text(reinterpret_cast<const char*>(ASN1_STRING_get0_data(dns)),
                       static_cast<std::size_t>(ASN1_STRING_length(dns)));
      for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      names.push_back(text);
    } else if (name->type == GEN_IPADD) {
      const ASN1_OCTET_STRING* ip = name->d.iPAddress;
      const int length = ASN1_STRING_length(ip);
      char text[INET6_ADDRSTRLEN];
      const int family = length == 4 ? AF_INET : AF_INET6;
      if ((length == 4 || length == 16) &&
          inet_ntop(family, ASN1_STRING_get0_data(ip), text, sizeof text))
        names.push_back(family == AF_INET ? std::string(text) : "[" + std::string(text) + "]");
    }
  }
  GENERAL_NAMES_free(alt);
  return names;
}
