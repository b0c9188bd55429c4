#pragma once

#include <boost/range/adaptor/filtered.hpp>
#include <boost/range/adaptor/transformed.hpp>

#include "host/json_spirit/value.h"

namespace json_spirit {

// Range filters over arrays: `arr | get_str` yields the string elements and
// `arr | get_obj` the object elements, in order; other elements are skipped.
struct Get_Str_Filter {};
struct Get_Obj_Filter {};
inline constexpr Get_Str_Filter get_str{};
inline constexpr Get_Obj_Filter get_obj{};

namespace filter_detail {

template <Value_type Kind>
struct Is_Kind {
  bool operator()(const Value& v) const { return v.type() == Kind; }
};

struct As_Str {
  using result_type = const std::string&;
  const std::string& operator()(const Value& v) const { return v.get_str(); }
};

struct As_Obj {
  using result_type = const Object&;
  const Object& operator()(const Value& v) const { return v.get_obj(); }
};

}  // namespace filter_detail

inline auto operator|(const Array& a, Get_Str_Filter) {
  return a | boost::adaptors::filtered(filter_detail::Is_Kind<str_type>()) |
         boost::adaptors::transformed(filter_detail::As_Str());
}

inline auto operator|(const Array& a, Get_Obj_Filter) {
  return a | boost::adaptors::filtered(filter_detail::Is_Kind<obj_type>()) |
         boost::adaptors::transformed(filter_detail::As_Obj());
}

}  // namespace json_spirit
