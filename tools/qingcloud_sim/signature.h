#pragma once

#include <string>
#include <string_view>

#include "tools/qingcloud_sim/wire_encoding.h"

namespace qingcloud_sim {

// The platform's request signature, checked stage by stage:
//   canonical query  every pair but "signature", names and values
//                    percent-encoded, sorted by encoded name (byte order),
//                    joined as "n=v&n=v"
//   string to sign   "METHOD\nPATH\ncanonical query"
//   signature        base64 of the HMAC of the string to sign, keyed with the
//                    secret, by the pair's "signature_method"

enum class Signature_Method { HMAC_SHA256, HMAC_SHA1 };

// "HmacSHA256" (also when empty) or "HmacSHA1"; false for anything else.
bool parse_signature_method(std::string_view name, Signature_Method* method);

std::string canonical_query(const Param_List& params);

std::string string_to_sign(std::string_view method, std::string_view path,
                           std::string_view canonical);

// Empty only when the crypto library fails.
std::string compute_signature(Signature_Method method, std::string_view secret,
                              std::string_view text);

// Compares in time independent of where the texts differ.
bool signatures_equal(std::string_view a, std::string_view b);

}  // namespace qingcloud_sim
