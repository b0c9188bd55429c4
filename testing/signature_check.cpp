#include "testing/signature_check.h"

#include <algorithm>
#include <cctype>

#include "testing/request_signer.h"

namespace testing_support {

namespace {

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string percent_decode(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '+') {
      out += ' ';
    } else if (s[i] == '%' && i + 2 < s.size() && hex_value(s[i + 1]) >= 0 &&
               hex_value(s[i + 2]) >= 0) {
      out += static_cast<char>(hex_value(s[i + 1]) * 16 + hex_value(s[i + 2]));
      i += 2;
    } else {
      out += s[i];
    }
  }
  return out;
}

std::vector<std::pair<std::string, std::string>> raw_pairs(const std::string& query) {
  std::vector<std::pair<std::string, std::string>> out;
  std::size_t start = 0;
  while (start < query.size()) {
    std::size_t end = query.find('&', start);
    if (end == std::string::npos) end = query.size();
    std::string pair = query.substr(start, end - start);
    std::size_t eq = pair.find('=');
    if (eq == std::string::npos) {
      out.emplace_back(pair, "");
    } else {
      out.emplace_back(pair.substr(0, eq), pair.substr(eq + 1));
    }
    start = end + 1;
  }
  return out;
}

}  // namespace

std::vector<std::pair<std::string, std::string>> decode_pairs(const std::string& query) {
  auto pairs = raw_pairs(query);
  for (auto& [name, value] : pairs) {
    name = percent_decode(name);
    value = percent_decode(value);
  }
  return pairs;
}

std::map<std::string, std::string> decode_form(const std::string& query) {
  std::map<std::string, std::string> out;
  for (auto& [name, value] : decode_pairs(query))
    out[name] = value;
  return out;
}

Signature_Verdict check_signature(const std::string& method, const std::string& path,
                                  const std::string& query, const std::string& secret) {
  Signature_Verdict v;
  std::string signature;
  bool signed_request = false;
  std::string as_sent;
  std::vector<std::pair<std::string, std::string>> canonical;
  for (const auto& [raw_name, raw_value] : raw_pairs(query)) {
    const std::string name = percent_decode(raw_name);
    if (name == "signature") {
      signature = percent_decode(raw_value);
      signed_request = true;
      continue;
    }
    if (!as_sent.empty()) as_sent += '&';
    as_sent += raw_name + "=" + raw_value;
    canonical.emplace_back(encode_for_signing(name), encode_for_signing(percent_decode(raw_value)));
  }
  std::sort(canonical.begin(), canonical.end());
  for (const auto& [name, value] : canonical) {
    if (!v.canonical_query.empty()) v.canonical_query += '&';
    v.canonical_query += name + "=" + value;
  }
  v.string_to_sign = method + "\n" + path + "\n" + v.canonical_query;
  v.expected_signature = hmac_sha256_base64(secret, v.string_to_sign);
  if (!signed_request) {
    v.reason = "no signature";
  } else if (as_sent != v.canonical_query) {
    v.reason = "query not in canonical form: " + as_sent;
  } else if (signature != v.expected_signature) {
    v.reason = "signature " + signature + " differs from " + v.expected_signature;
  } else {
    v.accepted = true;
  }
  return v;
}

}  // namespace testing_support
