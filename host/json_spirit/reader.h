#pragma once

#include <string>
#include <string_view>

#include "host/json_spirit/value.h"

namespace json_spirit {

// Deepest nesting of arrays and objects that the reader accepts.
constexpr std::size_t MAX_READ_DEPTH = 256;

// Parses one JSON text (RFC 8259, UTF-8) into `value`.  Integers that fit a
// signed 64-bit number are held signed, larger non-negative ones unsigned,
// every other number as real.  On failure returns false, leaves `value`
// unchanged and, when `error` is given, says why there.
bool read(std::string_view text, Value& value, std::string* error = nullptr);

}  // namespace json_spirit
