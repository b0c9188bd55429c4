#include "tools/qingcloud_sim/params.h"

#include <algorithm>
#include <limits>
#include <map>

#include <boost/json/parse.hpp>

#include "tools/qingcloud_sim/api_error.h"

namespace qingcloud_sim {
namespace {

// "status.12" -> ("status", 12); false when the name has no numeric suffix.
bool split_list_name(const std::string& name, std::string* base, std::int64_t* index) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0 || dot + 1 == name.size()) return false;
  const std::string_view digits(name.data() + dot + 1, name.size() - dot - 1);
  if (digits.size() > 9 ||
      !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return false;
  *base = name.substr(0, dot);
  *index = std::stoll(std::string(digits));
  return true;
}

std::string element_text(const boost::json::value& value, std::string_view name) {
  if (value.is_string()) return std::string(value.get_string());
  if (value.is_int64()) return std::to_string(value.get_int64());
  if (value.is_uint64()) return std::to_string(value.get_uint64());
  throw invalid_parameter(std::string(name), "should be a string or an integer");
}

}  // namespace

bool parse_integer(std::string_view text, std::int64_t* value) {
  std::size_t i = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (negative) i = 1;
  if (i == text.size() || text.size() - i > 18) return false;
  std::int64_t result = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    result = result * 10 + (text[i] - '0');
  }
  *value = negative ? -result : result;
  return true;
}

Params Params::from_pairs(const Param_List& pairs) {
  boost::json::object object;
  std::map<std::string, std::map<std::int64_t, std::string>> lists;
  for (const auto& [name, value] : pairs) {
    std::string base;
    std::int64_t index = 0;
    if (split_list_name(name, &base, &index)) {
      if (!lists[base].emplace(index, value).second)
        throw parameter_error("parameter [" + name + "] is given more than once");
    } else if (!object.emplace(name, value).second) {
      throw parameter_error("parameter [" + name + "] is given more than once");
    }
  }
  for (auto& [base, elements] : lists) {
    if (object.contains(base))
      throw parameter_error("parameter [" + base + "] is given both as a value and as a list");
    boost::json::array array;
    array.reserve(elements.size());
    for (auto& element : elements)
      array.emplace_back(std::move(element.second));
    object.emplace(base, std::move(array));
  }
  return Params(std::move(object));
}

Params Params::from_json_text(std::string_view text) {
  boost::json::error_code ec;
  boost::json::value value = boost::json::parse(text, ec);
  if (ec || !value.is_object())
    throw invalid_parameter("params", "should be the JSON text of an object");
  return Params(std::move(value.get_object()));
}

std::optional<std::string> Params::text(std::string_view name) const {
  const boost::json::value* value = object_.if_contains(name);
  if (value == nullptr) return std::nullopt;
  return element_text(*value, name);
}

std::string Params::text_or(std::string_view name, const std::string& fallback) const {
  std::optional<std::string> value = text(name);
  return value ? *value : fallback;
}

std::string Params::required_text(std::string_view name) const {
  std::optional<std::string> value = text(name);
  if (!value || value->empty()) throw missing_parameter(std::string(name));
  return *value;
}

std::optional<std::int64_t> Params::integer(std::string_view name) const {
  const boost::json::value* value = object_.if_contains(name);
  if (value == nullptr) return std::nullopt;
  if (value->is_int64()) return value->get_int64();
  if (value->is_uint64() &&
      value->get_uint64() <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
    return static_cast<std::int64_t>(value->get_uint64());
  std::int64_t result = 0;
  if (value->is_string() && parse_integer(value->get_string(), &result)) return result;
  throw invalid_parameter(std::string(name), "should be an integer");
}

std::int64_t Params::integer_or(std::string_view name, std::int64_t fallback) const {
  std::optional<std::int64_t> value = integer(name);
  return value ? *value : fallback;
}

std::vector<std::string> Params::list(std::string_view name) const {
  std::vector<std::string> out;
  const boost::json::value* value = object_.if_contains(name);
  if (value == nullptr) return out;
  if (!value->is_array()) {
    out.push_back(element_text(*value, name));
    return out;
  }
  out.reserve(value->get_array().size());
  for (const boost::json::value& element : value->get_array())
    out.push_back(element_text(element, name));
  return out;
}

std::vector<std::int64_t> Params::integer_list(std::string_view name) const {
  std::vector<std::int64_t> out;
  for (const std::string& text : list(name)) {
    std::int64_t value = 0;
    if (!parse_integer(text, &value))
      throw invalid_parameter(std::string(name), "should be a list of integers");
    out.push_back(value);
  }
  return out;
}

}  // namespace qingcloud_sim
