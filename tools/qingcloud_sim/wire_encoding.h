#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qingcloud_sim {

// Name/value pairs as they arrived, decoded, in arrival order.
using Param_List = std::vector<std::pair<std::string, std::string>>;

// The platform's percent-encoding: letters, digits and "-_.~" stay, every
// other byte becomes "%" and two upper-case hex digits (space is "%20").
std::string percent_encode(std::string_view text);

// Reverses form encoding: "%XX" to the byte, "+" to a space.  False when a "%"
// is not followed by two hex digits.
bool percent_decode(std::string_view text, std::string* out);

// Splits "a=1&b=2" into decoded pairs.  Empty segments are skipped; a segment
// without "=" is a name with an empty value.  False on a bad escape.
bool parse_form(std::string_view text, Param_List* out);

}  // namespace qingcloud_sim
