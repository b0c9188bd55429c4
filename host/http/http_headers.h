#pragma once

#include <string>
#include <utility>
#include <vector>

// The header fields of a request or a response, in the order given.  Names
// compare case-insensitively; a name may occur more than once in a response.
class HTTP_Headers {
 public:
  using Field = std::pair<std::string, std::string>;

  // The value of the first field named `name`, or null.
  const std::string* find(const char* name) const noexcept;
  // Replaces every field named `name` by one with `value`.
  void set(const char* name, std::string value);
  // Appends a field, keeping earlier ones of the same name.
  void add(std::string name, std::string value);
  // Removes every field named `name`.
  void remove(const char* name) noexcept;
  void clear() noexcept { fields_.clear(); }

  const std::vector<Field>& fields() const noexcept { return fields_; }

 private:
  std::vector<Field> fields_;
};

// Case-insensitive comparison of ASCII names and tokens.
bool http_iequals(const std::string& a, const char* b) noexcept;
