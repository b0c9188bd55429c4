#include "tools/qingcloud_sim/signature.h"

#include <algorithm>

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>

namespace qingcloud_sim {

bool parse_signature_method(std::string_view name, Signature_Method* method) {
  if (name.empty() || name == "HmacSHA256") {
    *method = Signature_Method::HMAC_SHA256;
    return true;
  }
  if (name == "HmacSHA1") {
    *method = Signature_Method::HMAC_SHA1;
    return true;
  }
  return false;
}

std::string canonical_query(const Param_List& params) {
  std::vector<std::pair<std::string, std::string>> encoded;
  encoded.reserve(params.size());
  for (const auto& [name, value] : params) {
    if (name == "signature") continue;
    encoded.emplace_back(percent_encode(name), percent_encode(value));
  }
  std::sort(encoded.begin(), encoded.end());
  std::string out;
  for (const auto& [name, value] : encoded) {
    if (!out.empty()) out += '&';
    out += name;
    out += '=';
    out += value;
  }
  return out;
}

std::string string_to_sign(std::string_view method, std::string_view path,
                           std::string_view canonical) {
  std::string out;
  out.reserve(method.size() + path.size() + canonical.size() + 2);
  out.append(method).append(1, '\n').append(path).append(1, '\n').append(canonical);
  return out;
}

std::string compute_signature(Signature_Method method, std::string_view secret,
                              std::string_view text) {
  const EVP_MD* md = method == Signature_Method::HMAC_SHA1 ? EVP_sha1() : EVP_sha256();
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int digest_len = 0;
  if (HMAC(md, secret.data(), static_cast<int>(secret.size()),
           reinterpret_cast<const unsigned char*>(text.data()), text.size(), digest,
           &digest_len) == nullptr)
    return std::string();
  unsigned char encoded[4 * ((EVP_MAX_MD_SIZE + 2) / 3) + 1];
  const int n = EVP_EncodeBlock(encoded, digest, static_cast<int>(digest_len));
  return std::string(reinterpret_cast<const char*>(encoded), static_cast<std::size_t>(n));
}

bool signatures_equal(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  return CRYPTO_memcmp(a.data(), b.data(), a.size()) == 0;
}

}  // namespace qingcloud_sim
