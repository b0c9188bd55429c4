#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "host/json_spirit/value.h"

namespace json_spirit {

// Thrown by the *_or_throw getters when a key is missing.
class Key_Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Non-throwing getters: true and `out` set when `key` holds that kind;
// otherwise false and `out` unchanged.  Integer outputs accept either integer
// form; a double accepts integers too.
bool object_get(const Object& obj, std::string_view key, bool& out);
bool object_get(const Object& obj, std::string_view key, double& out);
bool object_get(const Object& obj, std::string_view key, int& out);
bool object_get(const Object& obj, std::string_view key, std::int64_t& out);
bool object_get(const Object& obj, std::string_view key, std::uint64_t& out);
bool object_get(const Object& obj, std::string_view key, std::string& out);

// The member, or null when it is absent (or, for the typed ones, of another kind).
const std::string* object_get_str(const Object& obj, std::string_view key);
const Object* object_get_object(const Object& obj, std::string_view key);
const Value* object_get_value(const Object& obj, std::string_view key);

// The member, or a Key_Error (absent) or Type_Error (another kind).
const Value& object_get_value_or_throw(const Object& obj, std::string_view key);
const std::string& object_get_str_or_throw(const Object& obj, std::string_view key);
bool object_get_bool_or_throw(const Object& obj, std::string_view key);
double object_get_real_or_throw(const Object& obj, std::string_view key);
std::int64_t object_get_int64_or_throw(const Object& obj, std::string_view key);
std::uint64_t object_get_uint64_or_throw(const Object& obj, std::string_view key);
const Object& object_get_object_or_throw(const Object& obj, std::string_view key);

}  // namespace json_spirit
