#include "host/json_spirit/value.h"

#include <cstdint>

namespace json_spirit {

const char* value_type_name(Value_type type) noexcept {
  switch (type) {
    case obj_type:
      return "object";
    case array_type:
      return "array";
    case str_type:
      return "string";
    case secure_str_type:
      return "secure string";
    case bool_type:
      return "bool";
    case int_type:
      return "integer";
    case real_type:
      return "real";
    case null_type:
      return "null";
  }
  return "unknown";
}

Value_type Value::type() const noexcept {
  if (is_uint64()) return int_type;
  return static_cast<Value_type>(v_.index());
}

void Value::throw_type_error(Value_type wanted) const {
  throw Type_Error(std::string("value is ") + value_type_name(type()) + ", not " +
                   value_type_name(wanted));
}

const Object& Value::get_obj() const {
  if (const auto* o = std::get_if<Object>(&v_)) return *o;
  throw_type_error(obj_type);
}

Object& Value::get_obj() {
  if (auto* o = std::get_if<Object>(&v_)) return *o;
  throw_type_error(obj_type);
}

const Array& Value::get_array() const {
  if (const auto* a = std::get_if<Array>(&v_)) return *a;
  throw_type_error(array_type);
}

Array& Value::get_array() {
  if (auto* a = std::get_if<Array>(&v_)) return *a;
  throw_type_error(array_type);
}

const std::string& Value::get_str() const {
  if (const auto* s = std::get_if<std::string>(&v_)) return *s;
  throw_type_error(str_type);
}

const secure_string& Value::get_secure_str() const {
  if (const auto* s = std::get_if<secure_string>(&v_)) return *s;
  throw_type_error(secure_str_type);
}

bool Value::get_bool() const {
  if (const auto* b = std::get_if<bool>(&v_)) return *b;
  throw_type_error(bool_type);
}

int Value::get_int() const {
  return static_cast<int>(get_int64());
}

bool Value::fits_int64() const noexcept {
  if (std::holds_alternative<std::int64_t>(v_)) return true;
  const auto* u = std::get_if<std::uint64_t>(&v_);
  return u != nullptr && *u <= static_cast<std::uint64_t>(INT64_MAX);
}

bool Value::fits_uint64() const noexcept {
  if (std::holds_alternative<std::uint64_t>(v_)) return true;
  const auto* i = std::get_if<std::int64_t>(&v_);
  return i != nullptr && *i >= 0;
}

std::int64_t Value::get_int64() const {
  if (const auto* i = std::get_if<std::int64_t>(&v_)) return *i;
  if (const auto* u = std::get_if<std::uint64_t>(&v_)) {
    if (*u > static_cast<std::uint64_t>(INT64_MAX))
      throw Type_Error("integer " + std::to_string(*u) + " is beyond the signed 64-bit range");
    return static_cast<std::int64_t>(*u);
  }
  throw_type_error(int_type);
}

std::uint64_t Value::get_uint64() const {
  if (const auto* u = std::get_if<std::uint64_t>(&v_)) return *u;
  if (const auto* i = std::get_if<std::int64_t>(&v_)) {
    if (*i < 0) throw Type_Error("integer " + std::to_string(*i) + " is negative, not unsigned");
    return static_cast<std::uint64_t>(*i);
  }
  throw_type_error(int_type);
}

double Value::get_real() const {
  if (const auto* d = std::get_if<double>(&v_)) return *d;
  if (const auto* i = std::get_if<std::int64_t>(&v_)) return static_cast<double>(*i);
  if (const auto* u = std::get_if<std::uint64_t>(&v_)) return static_cast<double>(*u);
  throw_type_error(real_type);
}

bool operator==(const Value& a, const Value& b) {
  if (a.type() == int_type && b.type() == int_type) {
    // Signed and unsigned forms of the same number are the same JSON value.
    if (a.is_uint64() == b.is_uint64()) return a.v_ == b.v_;
    const Value& s = a.is_uint64() ? b : a;
    const Value& u = a.is_uint64() ? a : b;
    return s.get_int64() >= 0 && static_cast<std::uint64_t>(s.get_int64()) == u.get_uint64();
  }
  return a.v_ == b.v_;
}

Object& to_new_object(Value& v) {
  v = Object();
  return v.get_obj();
}

}  // namespace json_spirit
