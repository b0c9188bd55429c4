#include "api/api_params.h"

#include <iterator>

#include "support/http_query_string_builder.h"
#include "support/to_string.h"

namespace qingcloud {

namespace {

template <class String = std::string>
String encode(const char* text) {
  String out;
  http_encode_string_i(text, API_Params::URL_ENCODE_FLAG, std::back_inserter(out));
  return out;
}

}  // namespace

void API_Params::store(const char* name, secure_string encoded_value) {
  params_[encode(name)] = std::move(encoded_value);
}

void API_Params::set_parameter(const char* name, const char* val) {
  if (!name || !*name || !val || !*val) return;
  store(name, encode<secure_string>(val));
}

void API_Params::set_number(const char* name, long long number) {
  if (!name || !*name) return;
  const std::string text = to_string(number);
  store(name, secure_string(text.data(), text.size()));
}

void API_Params::set_number(const char* name, unsigned long number) {
  if (!name || !*name) return;
  const std::string text = to_string(number);
  store(name, secure_string(text.data(), text.size()));
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

secure_string API_Params::query_string() const {
  std::size_t size = 0;
  for (const auto& [key, val] : params_)
    size += key.size() + val.size() + 2;
  secure_string out;
  out.reserve(size);
  HTTP_Query_String_Builder_T<std::back_insert_iterator<secure_string>> builder(
      std::back_inserter(out), false);
  for (const auto& [key, val] : params_)
    builder(key.c_str(), val.c_str(), false, false, nullptr);
  return out;
}

}  // namespace qingcloud
