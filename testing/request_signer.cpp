#include "testing/request_signer.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include <openssl/evp.h>
#include <openssl/hmac.h>

namespace testing_support {

std::string encode_for_signing(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
      out.push_back(static_cast<char>(c));
    } else {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", c);
      out += escaped;
    }
  }
  return out;
}

std::string canonical_pairs(Pairs pairs) {
  for (auto& pair : pairs) {
    pair.first = encode_for_signing(pair.first);
    pair.second = encode_for_signing(pair.second);
  }
  std::sort(pairs.begin(), pairs.end());
  std::string out;
  for (std::size_t i = 0; i < pairs.size(); ++i) {
    if (i > 0) out += "&";
    out += pairs[i].first + "=" + pairs[i].second;
  }
  return out;
}

std::string hmac_sha256_base64(const std::string& secret, const std::string& text) {
  unsigned char digest[32];
  unsigned int length = 0;
  HMAC(EVP_sha256(), secret.data(), static_cast<int>(secret.size()),
       reinterpret_cast<const unsigned char*>(text.data()), text.size(), digest, &length);
  unsigned char base64[64];
  const int n = EVP_EncodeBlock(base64, digest, static_cast<int>(length));
  return std::string(reinterpret_cast<char*>(base64), static_cast<std::size_t>(n));
}

std::string signed_query(const std::string& method, const std::string& path, const Pairs& pairs,
                         const std::string& secret) {
  const std::string query = canonical_pairs(pairs);
  const std::string signature = hmac_sha256_base64(secret, method + "\n" + path + "\n" + query);
  return query + "&signature=" + encode_for_signing(signature);
}

}  // namespace testing_support
