#pragma once

#include <cstdint>
#include <string>
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

 private:
  std::string text_;
  std::vector<std::string> tokens_;
};

}  // namespace json_spirit
