#pragma once

#include <string>
#include <utility>
#include <vector>

namespace testing_support {

// A small request signer for tests, written apart from the system's encoder
// and session code so that tests compare two implementations.  It follows the
// platform's documented steps literally:
//   1. percent-encode every name and value, keeping only A-Z a-z 0-9 - _ . ~
//      (upper-case hex, space as %20);
//   2. sort the pairs by encoded name and join them as "n=v&n=v";
//   3. sign "METHOD\nPATH\n" + that text with HMAC-SHA256 and base64 it.
using Pairs = std::vector<std::pair<std::string, std::string>>;

std::string encode_for_signing(const std::string& text);
std::string canonical_pairs(Pairs pairs);
std::string hmac_sha256_base64(const std::string& secret, const std::string& text);

// The whole query (or form body): the canonical pairs and "&signature=" with
// the encoded signature.
std::string signed_query(const std::string& method, const std::string& path, const Pairs& pairs,
                         const std::string& secret);

}  // namespace testing_support
