#include "host/json_spirit/value.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>

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

// ---- Value

Value::Value(const Value& other) : kind_(other.kind_) {
  switch (kind_) {
    case OBJ:
      new (&obj_) Object(other.obj_);
      break;
    case ARR:
      new (&arr_) Array(other.arr_);
      break;
    case STR:
      new (&str_) std::string(other.str_);
      break;
    case SECURE:
      new (&secure_) secure_string(other.secure_);
      break;
    default:
      copy_scalar(other);
      break;
  }
}

void Value::take(Value&& other) noexcept {
  kind_ = other.kind_;
  switch (kind_) {
    case OBJ:
      new (&obj_) Object(std::move(other.obj_));
      break;
    case ARR:
      new (&arr_) Array(std::move(other.arr_));
      break;
    case STR:
      new (&str_) std::string(std::move(other.str_));
      break;
    case SECURE:
      new (&secure_) secure_string(std::move(other.secure_));
      break;
    default:
      copy_scalar(other);
      break;
  }
}

void Value::destroy() noexcept {
  switch (kind_) {
    case OBJ:
      obj_.~Object();
      break;
    case ARR:
      arr_.~Array();
      break;
    case STR: {
      // The text may be a reply's, and a reply may carry keys.  Most texts
      // are short and lie inside the string: those take a wipe of fixed size.
      constexpr std::size_t INSIDE = 15;
      char* text = &str_[0];
      if (str_.capacity() <= INSIDE) {
        std::memset(text, 0, INSIDE);
        __asm__ __volatile__("" : : "r"(text) : "memory");
      } else {
        secure_wipe(text, str_.capacity());
      }
      str_.~basic_string();
      break;
    }
    case SECURE:
      secure_.~basic_secure_string();
      break;
    default:
      break;
  }
}

Value& Value::operator=(const Value& other) {
  if (this != &other) {
    Value copy(other);
    *this = std::move(copy);
  }
  return *this;
}

Value& Value::operator=(Value&& other) noexcept {
  if (this == &other) return *this;
  if (kind_ > SECURE) {
    take(std::move(other));
    return *this;
  }
  // `other` may live inside this value (v = std::move(v.get_array()[0])), so
  // it is moved out before this value lets go of what it holds.
  Value held(std::move(other));
  destroy();
  take(std::move(held));
  return *this;
}

void Value::throw_type_error(Value_type wanted) const {
  throw Type_Error(std::string("value is ") + value_type_name(type()) + ", not " +
                   value_type_name(wanted));
}

std::int64_t Value::int64_slow() const {
  if (kind_ == UINT) {
    if (uint_ > static_cast<std::uint64_t>(INT64_MAX))
      throw Type_Error("integer " + std::to_string(uint_) + " is beyond the signed 64-bit range");
    return static_cast<std::int64_t>(uint_);
  }
  throw_type_error(int_type);
}

std::uint64_t Value::uint64_slow() const {
  if (kind_ == INT)
    throw Type_Error("integer " + std::to_string(int_) + " is negative, not unsigned");
  throw_type_error(int_type);
}

bool operator==(const Value& a, const Value& b) {
  if (a.kind_ == b.kind_) {
    switch (a.kind_) {
      case Value::OBJ:
        return a.obj_ == b.obj_;
      case Value::ARR:
        return a.arr_ == b.arr_;
      case Value::STR:
        return a.str_ == b.str_;
      case Value::SECURE:
        return a.secure_ == b.secure_;
      case Value::BOOL:
        return a.bool_ == b.bool_;
      case Value::INT:
        return a.int_ == b.int_;
      case Value::REAL:
        return a.real_ == b.real_;
      case Value::NUL:
        return true;
      case Value::UINT:
        return a.uint_ == b.uint_;
    }
  }
  // Signed and unsigned forms of the same number are the same JSON value.
  if (a.type() == int_type && b.type() == int_type) {
    const Value& s = a.is_uint64() ? b : a;
    const Value& u = a.is_uint64() ? a : b;
    return s.int_ >= 0 && static_cast<std::uint64_t>(s.int_) == u.uint_;
  }
  return false;
}

Object& to_new_object(Value& v) {
  v = Object();
  return v.get_obj();
}

// ---- Member

Member::Member(Copy, const std::string& key, Value&& value)
    : first(detail::is_kept_key(&key) ? key : *detail::make_key(key)), second(std::move(value)) {}

// ---- Object

Object::Object(std::initializer_list<Member> members) {
  reserve(members.size());
  for (const Member& m : members)
    insert(m);
}

Object::Object(const Object& other) {
  if (other.size_ == 0) return;
  grow(other.size_);
  for (const Member& m : other) {
    new (data_ + size_) Member(m);
    ++size_;
  }
}

Object& Object::operator=(const Object& other) {
  if (this != &other) {
    Object copy(other);
    swap(copy);
  }
  return *this;
}

Object& Object::operator=(Object&& other) noexcept {
  if (this != &other) {
    Object taken(std::move(other));
    swap(taken);
  }
  return *this;
}

// A block of members is wiped before it goes: what moved out of it, or
// what its members held inside themselves (short strings), stays behind.
void Object::release_block(Member* block, std::size_t capacity) noexcept {
  secure_wipe(block, capacity * sizeof(Member));
  ::operator delete(block);
}

Object::~Object() {
  clear();
  release_block(data_, capacity_);
}

void Object::clear() noexcept {
  for (std::uint32_t i = size_; i > 0; --i)
    data_[i - 1].~Member();
  size_ = 0;
}

void Object::swap(Object& other) noexcept {
  std::swap(data_, other.data_);
  std::swap(size_, other.size_);
  std::swap(capacity_, other.capacity_);
}

void Object::reserve(size_type n) {
  if (n > capacity_) grow(n);
}

void Object::grow(std::size_t minimum) {
  if (minimum > std::numeric_limits<std::uint32_t>::max()) throw std::length_error("Object::grow");
  auto* bigger = static_cast<Member*>(::operator new(minimum * sizeof(Member)));
  for (std::uint32_t i = 0; i < size_; ++i)
    Member::relocate(bigger + i, data_ + i);
  release_block(data_, capacity_);
  data_ = bigger;
  capacity_ = static_cast<std::uint32_t>(minimum);
}

Object::iterator Object::put(std::size_t pos, const std::string* key, Value&& value) {
  if (size_ == capacity_) {
    try {
      // Objects built member by member are mostly small (the inventory's
      // nodes have 4 to 9 members): 4, 9, 19, 39, ...
      grow(std::max<std::size_t>(4, 2 * std::size_t{capacity_} + 1));
    } catch (...) {
      detail::release_key(key);
      throw;
    }
  }
  for (std::size_t i = size_; i > pos; --i)
    Member::relocate(data_ + i, data_ + i - 1);
  new (data_ + pos) Member(Member::Adopt{}, key, std::move(value));
  ++size_;
  return data_ + pos;
}

std::pair<Object::iterator, bool> Object::insert(const Member& member) {
  const std::size_t pos = position(member.first);
  if (pos < size_ && data_[pos].first == member.first) return {data_ + pos, false};
  Value v(member.second);
  const std::string* key =
      detail::is_kept_key(&member.first) ? &member.first : detail::make_key(member.first);
  return {put(pos, key, std::move(v)), true};
}

Object::size_type Object::erase(std::string_view key) noexcept {
  const_iterator it = find(key);
  if (it == end()) return 0;
  erase(it);
  return 1;
}

Object::iterator Object::erase(const_iterator pos) noexcept {
  const std::size_t at = static_cast<std::size_t>(pos - data_);
  data_[at].~Member();
  for (std::size_t i = at + 1; i < size_; ++i)
    Member::relocate(data_ + i - 1, data_ + i);
  --size_;
  return data_ + at;
}

Value& Object::at(std::string_view key) {
  iterator it = find(key);
  if (it == end()) throw std::out_of_range("no member '" + std::string(key) + "'");
  return it->second;
}

const Value& Object::at(std::string_view key) const {
  const_iterator it = find(key);
  if (it == end()) throw std::out_of_range("no member '" + std::string(key) + "'");
  return it->second;
}

bool operator==(const Object& a, const Object& b) {
  if (a.size_ != b.size_) return false;
  for (std::uint32_t i = 0; i < a.size_; ++i) {
    const Member& x = a.data_[i];
    const Member& y = b.data_[i];
    if ((&x.first != &y.first && x.first != y.first) || x.second != y.second) return false;
  }
  return true;
}

}  // namespace json_spirit
