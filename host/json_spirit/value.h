#pragma once

#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

#include "support/secure_string.h"

namespace json_spirit {

// Kind numbers as the host library defines them; both integer forms report
// int_type and `Value::is_uint64` tells them apart.
enum Value_type {
  obj_type = 0,
  array_type = 1,
  str_type = 2,
  secure_str_type = 3,
  bool_type = 4,
  int_type = 5,
  real_type = 6,
  null_type = 7,
};

// Human-readable kind name, used in exception texts.
const char* value_type_name(Value_type type) noexcept;

class Value;

// One member per key, iterated in ascending key order.
using Object = std::map<std::string, Value>;
using Array = std::vector<Value>;
using Pair = Object::value_type;

// Thrown by the getters when a value is not of the kind asked for.
class Type_Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Value {
 public:
  Value() noexcept : v_(Null{}) {}
  Value(std::nullptr_t) noexcept : v_(Null{}) {}
  Value(bool b) noexcept : v_(b) {}
  Value(double d) noexcept : v_(d) {}
  Value(const char* s) : v_(std::string(s)) {}
  Value(std::string s) noexcept : v_(std::move(s)) {}
  Value(secure_string s) noexcept : v_(std::move(s)) {}
  Value(Object o) noexcept : v_(std::move(o)) {}
  Value(Array a) noexcept : v_(std::move(a)) {}

  // Signed integers and unsigned ones narrower than 64 bits are held signed;
  // unsigned 64-bit integers are held unsigned.
  template <class T, std::enable_if_t<std::is_integral_v<T> && !std::is_same_v<T, bool> &&
                                          !std::is_same_v<T, char>,
                                      int> = 0>
  Value(T n) noexcept : v_(integer(n)) {}

  Value_type type() const noexcept;
  bool is_null() const noexcept { return std::holds_alternative<Null>(v_); }
  bool is_uint64() const noexcept { return std::holds_alternative<std::uint64_t>(v_); }
  // Whether the value is an integer that the signed (unsigned) 64-bit getter
  // can return without changing it.
  bool fits_int64() const noexcept;
  bool fits_uint64() const noexcept;

  // Throwing getters: each throws Type_Error when the value is of another kind.
  const Object& get_obj() const;
  Object& get_obj();
  const Array& get_array() const;
  Array& get_array();
  const std::string& get_str() const;
  const secure_string& get_secure_str() const;
  bool get_bool() const;
  int get_int() const;  // the 64-bit value narrowed
  // Throw Type_Error as well for a number the type cannot hold: an unsigned
  // value above the signed range, a negative value for the unsigned getter.
  std::int64_t get_int64() const;
  std::uint64_t get_uint64() const;
  double get_real() const;  // integers are converted

  friend bool operator==(const Value& a, const Value& b);
  friend bool operator!=(const Value& a, const Value& b) { return !(a == b); }

 private:
  struct Null {
    friend bool operator==(Null, Null) { return true; }
  };

  [[noreturn]] void throw_type_error(Value_type wanted) const;

  template <class T>
  static auto integer(T n) noexcept {
    if constexpr (std::is_unsigned_v<T> && sizeof(T) >= sizeof(std::uint64_t)) {
      return static_cast<std::uint64_t>(n);
    } else {
      return static_cast<std::int64_t>(n);
    }
  }

  // The alternative index of the first eight equals their Value_type.
  std::variant<Object, Array, std::string, secure_string, bool, std::int64_t, double, Null,
               std::uint64_t>
      v_;
};

// Makes `v` an empty object and returns it.
Object& to_new_object(Value& v);

}  // namespace json_spirit
