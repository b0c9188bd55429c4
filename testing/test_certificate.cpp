#include "testing/test_certificate.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include <gtest/gtest.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

namespace testing_support {

namespace {

bool add_extension(X509* cert, int nid, const char* value) {
  X509V3_CTX ctx;
  X509V3_set_ctx_nodb(&ctx);
  X509V3_set_ctx(&ctx, cert, cert, nullptr, nullptr, 0);
  X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
  if (!ext) return false;
  bool ok = X509_add_ext(cert, ext, -1) == 1;
  X509_EXTENSION_free(ext);
  return ok;
}

}  // namespace

Test_Certificate::Test_Certificate(const std::string& alt_names) {
  make(alt_names);
}

void Test_Certificate::make(const std::string& alt_names) {
  key_ = EVP_EC_gen("P-256");
  cert_ = X509_new();
  ASSERT_TRUE(key_ && cert_);
  X509_set_version(cert_, 2);
  ASN1_INTEGER_set(X509_get_serialNumber(cert_), static_cast<long>(std::rand() & 0x7fffffff) + 1);
  X509_gmtime_adj(X509_getm_notBefore(cert_), -3600);
  X509_gmtime_adj(X509_getm_notAfter(cert_), 24 * 3600);
  X509_NAME* name = X509_get_subject_name(cert_);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>("test endpoint"), -1, -1, 0);
  X509_set_issuer_name(cert_, name);
  X509_set_pubkey(cert_, key_);
  ASSERT_TRUE(add_extension(cert_, NID_basic_constraints, "critical,CA:TRUE"));
  ASSERT_TRUE(add_extension(cert_, NID_subject_key_identifier, "hash"));
  ASSERT_TRUE(add_extension(cert_, NID_subject_alt_name, alt_names.c_str()));
  ASSERT_GT(X509_sign(cert_, key_, EVP_sha256()), 0);

  const char* tmp = std::getenv("TMPDIR");
  std::string path = std::string(tmp && *tmp ? tmp : "/tmp") + "/qc-test-ca-XXXXXX";
  int fd = ::mkstemp(path.data());
  ASSERT_GE(fd, 0);
  FILE* out = ::fdopen(fd, "w");
  ASSERT_NE(out, nullptr);
  pem_file_ = path;
  EXPECT_EQ(PEM_write_X509(out, cert_), 1);
  std::fclose(out);
}

Test_Certificate::~Test_Certificate() {
  if (!pem_file_.empty()) ::unlink(pem_file_.c_str());
  X509_free(cert_);
  EVP_PKEY_free(key_);
}

}  // namespace testing_support
