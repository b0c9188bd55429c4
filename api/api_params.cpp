#include "api/api_params.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "support/http_encode.h"
#include "support/to_string.h"

namespace qingcloud {

namespace {

std::string encode(const char* text) {
  std::string out;
  http_encode_string_i(text, API_Params::URL_ENCODE_FLAG, std::back_inserter(out));
  return out;
}

}  // namespace

void API_Params::store(const char* name, std::size_t offset) {
  Param param{encode(name), offset, values_.size() - offset};
  auto it = std::lower_bound(params_.begin(), params_.end(), param.name,
                             [](const Param& p, const std::string& n) { return p.name < n; });
  if (it != params_.end() && it->name == param.name) {
    *it = std::move(param);
  } else {
    params_.insert(it, std::move(param));
  }
}

void API_Params::set_parameter(const char* name, const char* val) {
  if (!name || !*name || !val || !*val) return;
  const std::size_t offset = values_.size();
  // Most text is sent as it stands: room for that much is made at once.
  values_.reserve(offset + std::strlen(val));
  http_encode_string_i(val, URL_ENCODE_FLAG, std::back_inserter(values_));
  store(name, offset);
}

void API_Params::set_digits(const char* name, const std::string& digits) {
  if (!name || !*name) return;
  const std::size_t offset = values_.size();
  values_.append(digits);
  store(name, offset);
}

void API_Params::set_number(const char* name, long long number) {
  set_digits(name, to_string(number));
}

void API_Params::set_number(const char* name, unsigned long number) {
  set_digits(name, to_string(number));
}

void API_Params::set_parameter(const char* name, const json_spirit::Array& array) {
  if (!name || !*name) return;
  const std::string prefix = std::string(name) + ".";
  unsigned index = 0;
  for (const json_spirit::Value& element : array)
    set_parameter((prefix + to_string(++index)).c_str(), element);
}

void API_Params::set_parameter(const char* name, const json_spirit::Value& value) {
  if (!name || !*name) return;
  switch (value.type()) {
    case json_spirit::array_type:
      set_parameter(name, value.get_array());
      break;
    case json_spirit::str_type:
      set_parameter(name, value.get_str().c_str());
      break;
    case json_spirit::secure_str_type:
      set_parameter(name, value.get_secure_str().c_str());
      break;
    case json_spirit::int_type:
      // Every integer keeps its full value; one that fits 32 bits reads the same
      // as the int overload would write it.
      if (value.is_uint64()) {
        set_number(name, static_cast<unsigned long>(value.get_uint64()));
      } else {
        set_number(name, static_cast<long long>(value.get_int64()));
      }
      break;
    default:  // objects, bools, reals and null are not sent
      break;
  }
}

secure_string API_Params::query_string(std::size_t room_after) const {
  std::size_t size = room_after;
  for (const Param& param : params_)
    size += param.name.size() + param.size + 2;
  secure_string out;
  out.reserve(size);
  // Names and values are encoded already: they are joined as they stand.
  for (const Param& param : params_) {
    if (!out.empty()) out.push_back('&');
    out.append(param.name).append(1, '=').append(values_, param.offset, param.size);
  }
  return out;
}

}  // namespace qingcloud
