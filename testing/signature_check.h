#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace testing_support {

// The platform's check of a signed request, written apart from the client:
// the pairs other than "signature" are decoded, encoded again (RFC 3986
// unreserved characters kept, upper-case hex), sorted by name and joined; the
// string "METHOD\nPATH\n<that>" is signed with HMAC-SHA256 and the base64 of
// the digest must equal the decoded "signature".  The request must also have
// been sent in that canonical form.
struct Signature_Verdict {
  bool accepted = false;
  std::string reason;  // why not, when not accepted
  std::string canonical_query;
  std::string string_to_sign;
  std::string expected_signature;  // base64
};

Signature_Verdict check_signature(const std::string& method, const std::string& path,
                                  const std::string& query, const std::string& secret);

// The pairs of a form or query string, decoded, in the order sent.
std::vector<std::pair<std::string, std::string>> decode_pairs(const std::string& query);
// The same as a map (the last of a repeated name wins).
std::map<std::string, std::string> decode_form(const std::string& query);

}  // namespace testing_support
