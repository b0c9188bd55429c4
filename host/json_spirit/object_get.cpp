#include "host/json_spirit/object_get.h"

namespace json_spirit {
namespace {

template <class Pred>
const Value* find_kind(const Object& obj, std::string_view key, Pred accepts) {
  auto it = obj.find(key);
  if (it == obj.end() || !accepts(it->second.type())) return nullptr;
  return &it->second;
}

bool is_int(Value_type t) {
  return t == int_type;
}

// An integer member that the output can hold unchanged (an int takes the
// narrowed 64-bit value, as the signed getter gives it).
const Value* find_int(const Object& obj, std::string_view key, bool is_unsigned) {
  const Value* v = find_kind(obj, key, is_int);
  if (v && !(is_unsigned ? v->fits_uint64() : v->fits_int64())) return nullptr;
  return v;
}
bool is_number(Value_type t) {
  return t == int_type || t == real_type;
}

// Type errors name the key, so that a log line says which member was wrong.
template <class Get>
auto get_member(const Object& obj, std::string_view key, Get get) -> decltype(get(Value())) {
  const Value& v = object_get_value_or_throw(obj, key);
  try {
    return get(v);
  } catch (const Type_Error& e) {
    throw Type_Error("key '" + std::string(key) + "': " + e.what());
  }
}

}  // namespace

bool object_get(const Object& obj, std::string_view key, bool& out) {
  const Value* v = find_kind(obj, key, [](Value_type t) { return t == bool_type; });
  if (v) out = v->get_bool();
  return v != nullptr;
}

bool object_get(const Object& obj, std::string_view key, double& out) {
  const Value* v = find_kind(obj, key, is_number);
  if (v) out = v->get_real();
  return v != nullptr;
}

bool object_get(const Object& obj, std::string_view key, int& out) {
  const Value* v = find_int(obj, key, false);
  if (v) out = v->get_int();
  return v != nullptr;
}

bool object_get(const Object& obj, std::string_view key, std::int64_t& out) {
  const Value* v = find_int(obj, key, false);
  if (v) out = v->get_int64();
  return v != nullptr;
}

bool object_get(const Object& obj, std::string_view key, std::uint64_t& out) {
  const Value* v = find_int(obj, key, true);
  if (v) out = v->get_uint64();
  return v != nullptr;
}

bool object_get(const Object& obj, std::string_view key, std::string& out) {
  const std::string* s = object_get_str(obj, key);
  if (s) out = *s;
  return s != nullptr;
}

const std::string* object_get_str(const Object& obj, std::string_view key) {
  const Value* v = find_kind(obj, key, [](Value_type t) { return t == str_type; });
  return v ? &v->get_str() : nullptr;
}

const Object* object_get_object(const Object& obj, std::string_view key) {
  const Value* v = find_kind(obj, key, [](Value_type t) { return t == obj_type; });
  return v ? &v->get_obj() : nullptr;
}

const Value* object_get_value(const Object& obj, std::string_view key) {
  auto it = obj.find(key);
  return it == obj.end() ? nullptr : &it->second;
}

const Value& object_get_value_or_throw(const Object& obj, std::string_view key) {
  auto it = obj.find(key);
  if (it == obj.end()) throw Key_Error("key '" + std::string(key) + "' not found");
  return it->second;
}

const std::string& object_get_str_or_throw(const Object& obj, std::string_view key) {
  return get_member(obj, key, [](const Value& v) -> const std::string& { return v.get_str(); });
}

bool object_get_bool_or_throw(const Object& obj, std::string_view key) {
  return get_member(obj, key, [](const Value& v) { return v.get_bool(); });
}

double object_get_real_or_throw(const Object& obj, std::string_view key) {
  return get_member(obj, key, [](const Value& v) { return v.get_real(); });
}

std::int64_t object_get_int64_or_throw(const Object& obj, std::string_view key) {
  return get_member(obj, key, [](const Value& v) { return v.get_int64(); });
}

std::uint64_t object_get_uint64_or_throw(const Object& obj, std::string_view key) {
  return get_member(obj, key, [](const Value& v) { return v.get_uint64(); });
}

const Object& object_get_object_or_throw(const Object& obj, std::string_view key) {
  return get_member(obj, key, [](const Value& v) -> const Object& { return v.get_obj(); });
}

}  // namespace json_spirit
