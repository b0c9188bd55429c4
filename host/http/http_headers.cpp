#include "host/http/http_headers.h"

#include <algorithm>
#include <strings.h>

bool http_iequals(const std::string& a, const char* b) noexcept {
  return ::strcasecmp(a.c_str(), b) == 0;
}

const std::string* HTTP_Headers::find(const char* name) const noexcept {
  for (const Field& f : fields_) {
    if (http_iequals(f.first, name)) return &f.second;
  }
  return nullptr;
}

void HTTP_Headers::set(const char* name, std::string value) {
  remove(name);
  fields_.emplace_back(name, std::move(value));
}

void HTTP_Headers::add(std::string name, std::string value) {
  fields_.emplace_back(std::move(name), std::move(value));
}

void HTTP_Headers::remove(const char* name) noexcept {
  fields_.erase(std::remove_if(fields_.begin(), fields_.end(),
                               [name](const Field& f) { return http_iequals(f.first, name); }),
                fields_.end());
}
