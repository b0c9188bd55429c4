// JSON text from outside: any bytes are either refused with a reason, leaving
// the target value alone, or read into a value that both dump forms write
// back as text reading to the same value.  Numbers read to the nearest double.

#include <cstdlib>
#include <string>

#include "fuzz/fuzz_support.h"
#include "host/json_spirit/reader.h"
#include "host/json_spirit/writer.h"

namespace {

using json_spirit::Value;

const Value& untouched() {
  static const Value value(json_spirit::Array{Value("untouched"), Value(7)});
  return value;
}

void check_round_trip(const Value& value, bool pretty) {
  const std::string text = json_spirit::JSON_Dump(value, pretty).str();
  Value again;
  FUZZ_CHECK(json_spirit::read(text, again));
  FUZZ_CHECK(again == value);
  // Equal values are written alike.
  FUZZ_CHECK(json_spirit::JSON_Dump(again, pretty).str() == text);
}

// A lone number reads as the C library reads it: integers exactly, other
// numbers as the nearest double.
void check_lone_number(std::string_view text, const Value& value) {
  if (value.type() != json_spirit::int_type && value.type() != json_spirit::real_type) return;
  const std::size_t first = text.find_first_not_of(" \t\r\n");
  const std::size_t last = text.find_last_not_of(" \t\r\n");
  const std::string number(text.substr(first, last + 1 - first));
  if (value.type() == json_spirit::real_type) {
    FUZZ_CHECK(value.get_real() == std::strtod(number.c_str(), nullptr));
  } else if (value.is_uint64()) {
    FUZZ_CHECK(value.get_uint64() == std::strtoull(number.c_str(), nullptr, 10));
  } else {
    FUZZ_CHECK(value.get_int64() == std::strtoll(number.c_str(), nullptr, 10));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz_support::clear_log();
  Value value = untouched();
  std::string error;
  if (!json_spirit::read(fuzz_support::as_text(data, size), value, &error)) {
    FUZZ_CHECK(!error.empty());
    FUZZ_CHECK(value == untouched());
  } else {
    check_lone_number(fuzz_support::as_text(data, size), value);
    check_round_trip(value, false);
    check_round_trip(value, true);
  }
  // The reader reports through its result, never through the log.
  FUZZ_CHECK(fuzz_support::log_lines().empty());
  return 0;
}
