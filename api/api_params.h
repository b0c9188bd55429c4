#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

#include "host/json_spirit/value.h"
#include "support/http_encode.h"
#include "support/secure_string.h"

namespace qingcloud {

// The parameters of one API call as encoded name/value pairs, kept in the
// byte order of the encoded names: the canonical query string that is both
// signed and sent.  Unusable input (null or empty name or text, an empty
// array, a JSON kind that is not sent) is skipped without complaint.  The
// values, and the query string made of them, live in wiped storage: they
// carry the key id and a request's own secrets (an instance's password).
class API_Params {
 public:
  // The encoder's flag word for every name and value: only letters, digits
  // and "-", "_", ".", "~" stay as they are; hex digits are upper case.
  static constexpr std::uint64_t URL_ENCODE_FLAG = HUT_FLAG_SLASH | HUT_FLAG_UPPERCASE;

  // Stores encode(name) -> encode(val), replacing an earlier value.
  void set_parameter(const char* name, const char* val);

  // A number as decimal text: `int` or `unsigned long`.
  template <class T>
  void set_parameter(const char* name, T number) {
    static_assert(std::is_same_v<T, int> || std::is_same_v<T, unsigned long>,
                  "numbers are sent as int or unsigned long");
    if constexpr (std::is_same_v<T, int>) {
      set_number(name, static_cast<long long>(number));
    } else {
      set_number(name, number);
    }
  }

  // The i-th element (from 1) under the name "name.i", through the value overload.
  void set_parameter(const char* name, const json_spirit::Array& array);

  // By kind: arrays, strings, secure strings and integers are sent; objects,
  // bools, reals and null are not.
  void set_parameter(const char* name, const json_spirit::Value& value);

  // The pairs joined as "name=value" by "&"; empty for an empty set.  Room
  // for `room_after` more bytes is made beyond it, for what the caller will
  // append (a signature), so that the text is not moved and wiped again.
  secure_string query_string(std::size_t room_after = 0) const;

 private:
  struct Param {
    std::string name;    // encoded
    std::size_t offset;  // of the encoded value in values_
    std::size_t size;
  };

  void set_number(const char* name, long long number);
  void set_number(const char* name, unsigned long number);
  // A number's decimal text, which needs no encoding.
  void set_digits(const char* name, const std::string& digits);
  // Files the value that was appended to values_ from `offset` on under
  // encode(name), in place of an earlier one.
  void store(const char* name, std::size_t offset);

  // Sorted by name, one entry per name: a request has a dozen or so, and a
  // flat list makes them without a tree node each.
  std::vector<Param> params_;
  // The values, one after another in one wiped block, rather than a block
  // each; a value replaced stays in it unused.
  secure_string values_;
};

}  // namespace qingcloud
