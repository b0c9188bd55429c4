#pragma once

#include <cstdint>

#include "support/http_encode.h"

// Writes "name=value" pairs joined by "&" to an output iterator:
//
//   std::string q;
//   HTTP_Query_String_Builder_T<std::back_insert_iterator<std::string>> b(
//       std::back_inserter(q), false);
//   b("zone", "pek3", true, true)("limit", "20", false, false);
template <class OutputIt>
class HTTP_Query_String_Builder_T {
 public:
  // The flag word used for the parts that are asked to be encoded.
  static constexpr std::uint64_t ENCODE_FLAGS = HUT_FLAG_SLASH | HUT_FLAG_SPACE;

  // `sep` true continues a query string that already has pairs.
  HTTP_Query_String_Builder_T(OutputIt iter, bool sep) : iter_(iter), sep_(sep) {}

  // Appends one pair.  A null or empty `key` appends nothing; a null `val`
  // writes the key without "="; `key_prefix` (may be null) goes before the key.
  HTTP_Query_String_Builder_T& operator()(const char* key, const char* val, bool encode_key,
                                          bool encode_val, const char* key_prefix = nullptr) {
    if (!key || !*key) return *this;
    if (sep_) {
      *iter_++ = '&';
    } else {
      sep_ = true;
    }
    put(key_prefix, encode_key);
    put(key, encode_key);
    if (!val) return *this;
    *iter_++ = '=';
    put(val, encode_val);
    return *this;
  }

 private:
  void put(const char* text, bool encode) {
    if (!text) return;
    if (encode) {
      http_encode_detail::encode_to(text, ENCODE_FLAGS, iter_);
      return;
    }
    for (; *text; ++text)
      *iter_++ = *text;
  }

  OutputIt iter_;
  bool sep_;
};
