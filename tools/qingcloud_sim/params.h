#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <boost/json/object.hpp>

#include "tools/qingcloud_sim/wire_encoding.h"

namespace qingcloud_sim {

// The parameters of one API call, whichever way they travelled: flat pairs of
// a GET query ("name.N" pairs gathered into arrays ordered by N) or the JSON
// text of a POST "params".  The typed readers accept both shapes: a number may
// come as a JSON integer or as decimal text, a list as a JSON array or as
// numbered pairs.  Every reader throws Api_Error (1100) on a value it cannot
// read.
class Params {
 public:
  Params() = default;
  explicit Params(boost::json::object object) : object_(std::move(object)) {}

  static Params from_pairs(const Param_List& pairs);
  static Params from_json_text(std::string_view text);

  const boost::json::object& object() const { return object_; }
  bool has(std::string_view name) const { return object_.contains(name); }

  // A string, or the decimal text of an integer; nullopt when absent.
  std::optional<std::string> text(std::string_view name) const;
  std::string text_or(std::string_view name, const std::string& fallback) const;
  // Present and not empty, or 1100 "required".
  std::string required_text(std::string_view name) const;

  // An integer, or decimal text of one; nullopt when absent.
  std::optional<std::int64_t> integer(std::string_view name) const;
  std::int64_t integer_or(std::string_view name, std::int64_t fallback) const;

  // The elements as texts; a single scalar counts as a list of one; empty
  // when absent.
  std::vector<std::string> list(std::string_view name) const;
  std::vector<std::int64_t> integer_list(std::string_view name) const;

 private:
  boost::json::object object_;
};

// Strict decimal integer ("-12", "7"); false for anything else.
bool parse_integer(std::string_view text, std::int64_t* value);

}  // namespace qingcloud_sim
