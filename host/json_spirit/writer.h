#pragma once

#include <string>
#include <utility>

#include "host/json_spirit/value.h"

namespace json_spirit {

// The JSON text of a value: compact when `pretty` is false, otherwise indented
// by two spaces per level.  Object members come in ascending key order; secure
// strings are written as plain strings.
class JSON_Dump {
 public:
  JSON_Dump(const Value& value, bool pretty);
  JSON_Dump(const Object& object, bool pretty);

  const char* c_str() const noexcept { return text_.c_str(); }
  const std::string& str() const& noexcept { return text_; }
  // A dump about to go hands its text over instead of a copy of it.
  std::string str() && noexcept { return std::move(text_); }
  std::size_t length() const noexcept { return text_.size(); }

 private:
  std::string text_;
};

}  // namespace json_spirit
