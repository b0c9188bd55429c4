#pragma once

#include <string>
#include <utility>
#include <vector>

#include "host/json_spirit/value.h"

namespace qingcloud {

// A string that is inserted only when it is not empty.
struct Skip_Empty {
  const std::string& str;
};
inline Skip_Empty skip_empty(const std::string& str) {
  return Skip_Empty{str};
}

// A value that is inserted only when `skip` is false.
template <class T>
struct Skip_If {
  bool skip;
  T value;
};
template <class T>
Skip_If<T> skip_if(bool skip, T&& value) {
  return Skip_If<T>{skip, std::forward<T>(value)};
}

// Sets members of an object, one chained call per member, each replacing any
// member of the same name:
//
//   insert(params)("zone", zone)("instance_name", skip_empty(name))("cpu", cpu);
class Object_Inserter {
 public:
  explicit Object_Inserter(json_spirit::Object& obj) noexcept : obj_(obj) {}

  template <class T>
  Object_Inserter& operator()(const std::string& key, T&& value) {
    obj_.insert_or_assign(key, json_spirit::Value(std::forward<T>(value)));
    return *this;
  }

  Object_Inserter& operator()(const std::string& key, Skip_Empty value) {
    if (!value.str.empty()) obj_.insert_or_assign(key, json_spirit::Value(value.str));
    return *this;
  }

  template <class T>
  Object_Inserter& operator()(const std::string& key, Skip_If<T>&& value) {
    if (!value.skip) (*this)(key, std::forward<T>(value.value));
    return *this;
  }

 private:
  json_spirit::Object& obj_;
};

inline Object_Inserter insert(json_spirit::Object& obj) {
  return Object_Inserter(obj);
}

// A JSON array value built from strings: `Array_Maker(ids)` holds one string
// element per id, in order; `append` adds more.
class Array_Maker : public json_spirit::Value {
 public:
  Array_Maker() : json_spirit::Value(json_spirit::Array()) {}
  explicit Array_Maker(const std::vector<std::string>& strings) : Array_Maker() { append(strings); }

  Array_Maker& append(const std::vector<std::string>& strings) {
    json_spirit::Array& array = get_array();
    array.reserve(array.size() + strings.size());
    for (const std::string& s : strings)
      array.emplace_back(s);
    return *this;
  }
};

// Makes `v` an empty array and returns it.
inline json_spirit::Array& to_new_array(json_spirit::Value& v) {
  v = json_spirit::Array();
  return v.get_array();
}

}  // namespace qingcloud
