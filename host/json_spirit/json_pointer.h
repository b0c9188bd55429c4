#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host/json_spirit/value.h"

namespace json_spirit {

// A JSON Pointer (RFC 6901): "" is the whole document, "/a/0" the first
// element of member "a"; "~1" stands for "/" and "~0" for "~" in a token.
class JSON_Pointer {
 public:
  JSON_Pointer() = default;

  // Sets the pointer from its text; `uri_fragment` takes the URI fragment form
  // ("#/a%20b").  Returns false, leaving the pointer unchanged, for text that
  // is not a pointer.
  bool path(const std::string& text, bool uri_fragment);
  const std::string& path() const { return text_; }

  // The value the pointer refers to within `root`, or null.
  const Value* resolve(const Value& root) const;

  // True, and `out` set, when the pointer resolves to a value of that kind.
  bool get(const Value& root, std::string& out) const;
  bool get(const Value& root, int& out) const;
  bool get(const Value& root, std::uint64_t& out) const;
  bool get(const Value& root, const Value*& out) const;
  bool get(const Value& root, const Array*& out) const;

  // The same as setting the pointer from `text` (not a URI fragment) and
  // resolving or getting it, without keeping the pointer: null, or false,
  // for text that is not a pointer too.  Reads record members without
  // making a token list each time.
  static const Value* resolve(const Value& root, std::string_view text);
  template <class T>
  static bool get(const Value& root, std::string_view text, T& out) {
    return take(resolve(root, text), out);
  }

 private:
  // `out` set from `v` when it is of that kind.
  static bool take(const Value* v, std::string& out);
  static bool take(const Value* v, int& out);
  static bool take(const Value* v, std::uint64_t& out);
  static bool take(const Value* v, const Value*& out);
  static bool take(const Value* v, const Array*& out);

  std::string text_;
  std::vector<std::string> tokens_;
};

}  // namespace json_spirit
