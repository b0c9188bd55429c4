#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "host/support/secure_string.h"

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
struct Member;
// Values are read from replies that may carry secret keys, so every block
// that holds them is wiped when it is released: arrays here, objects and
// strings in their destructors.
using Array = std::vector<Value, secure_allocator<Value>>;

namespace detail {

// Member names.  The same few names recur in every record of a reply, so
// names are kept once for the whole process in a table that only grows, up
// to a fixed number of names: a member then costs a reference, not a string,
// and comparing two names starts with comparing two addresses.  Names beyond
// the table's room (or very long ones) get a string of their own.
//
// The kept name of `text`, or a new string that the caller owns.
const std::string* make_key(std::string_view text);
// The kept name of `text`, or null when it is not kept and cannot be.
const std::string* kept_key(std::string_view text);
// Releases a name from make_key; kept names stay.
inline void release_key(const std::string* key) noexcept;
// Where the kept names lie, for telling them apart without a call.
extern const void* const kept_keys_begin;
extern const void* const kept_keys_end;
inline bool is_kept_key(const std::string* key) noexcept {
  const std::less<const void*> before;
  return !before(key, kept_keys_begin) && before(key, kept_keys_end);
}

struct Object_Access;
struct Reader_Access;

}  // namespace detail

// A JSON object: one member per name, iterated in ascending name order (byte
// order, as std::map<std::string, Value> orders them).  The members lie in
// one block, sorted, and are found by binary search.  Unlike std::map, adding
// or removing a member moves the others: references, pointers and iterators
// into an object are valid until the object next gains or loses a member.
class Object {
 public:
  using key_type = std::string;
  using mapped_type = Value;
  using value_type = Member;
  using size_type = std::size_t;
  using difference_type = std::ptrdiff_t;
  using reference = Member&;
  using const_reference = const Member&;
  using iterator = Member*;
  using const_iterator = const Member*;

  Object() noexcept = default;
  // Repeated names keep their first value, as std::map's constructor does.
  Object(std::initializer_list<Member> members);
  Object(const Object& other);
  Object(Object&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)),
        size_(std::exchange(other.size_, 0)),
        capacity_(std::exchange(other.capacity_, 0)) {}
  Object& operator=(const Object& other);
  Object& operator=(Object&& other) noexcept;
  ~Object();

  iterator begin() noexcept;
  iterator end() noexcept;
  const_iterator begin() const noexcept;
  const_iterator end() const noexcept;
  const_iterator cbegin() const noexcept { return begin(); }
  const_iterator cend() const noexcept { return end(); }

  bool empty() const noexcept { return size_ == 0; }
  size_type size() const noexcept { return size_; }
  void reserve(size_type n);
  void clear() noexcept;
  void swap(Object& other) noexcept;

  iterator find(std::string_view key) noexcept;
  const_iterator find(std::string_view key) const noexcept;
  // The first member whose name is not below `key`.
  iterator lower_bound(std::string_view key) noexcept;
  const_iterator lower_bound(std::string_view key) const noexcept;
  size_type count(std::string_view key) const noexcept { return find(key) != end() ? 1 : 0; }
  bool contains(std::string_view key) const noexcept { return find(key) != end(); }

  // std::out_of_range when there is no such member.
  Value& at(std::string_view key);
  const Value& at(std::string_view key) const;

  // The member's value, added as null when absent.
  Value& operator[](std::string_view key);

  template <class V>
  std::pair<iterator, bool> insert_or_assign(std::string_view key, V&& value);
  // Adds a member made of `args` unless `key` is taken; never replaces.
  template <class... Args>
  std::pair<iterator, bool> emplace(std::string_view key, Args&&... args);
  template <class... Args>
  std::pair<iterator, bool> try_emplace(std::string_view key, Args&&... args) {
    return emplace(key, std::forward<Args>(args)...);
  }
  std::pair<iterator, bool> insert(const Member& member);

  size_type erase(std::string_view key) noexcept;
  // Returns the member after the one removed.
  iterator erase(const_iterator pos) noexcept;

  friend bool operator==(const Object& a, const Object& b);
  friend bool operator!=(const Object& a, const Object& b) { return !(a == b); }

 private:
  friend struct detail::Object_Access;

  std::size_t position(std::string_view key) const noexcept;
  // Puts a member with the name `key` (a made key, taken over) at `pos`.
  iterator put(std::size_t pos, const std::string* key, Value&& value);
  void grow(std::size_t minimum);
  static void release_block(Member* block, std::size_t capacity) noexcept;

  Member* data_ = nullptr;
  std::uint32_t size_ = 0;
  std::uint32_t capacity_ = 0;
};

// Thrown by the getters when a value is not of the kind asked for.
class Type_Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Value {
 public:
  Value() noexcept : kind_(NUL) {}
  Value(std::nullptr_t) noexcept : kind_(NUL) {}
  Value(bool b) noexcept : kind_(BOOL) { bool_ = b; }
  Value(double d) noexcept : kind_(REAL) { real_ = d; }
  Value(const char* s) : kind_(STR) { new (&str_) std::string(s); }
  Value(std::string s) noexcept : kind_(STR) { new (&str_) std::string(std::move(s)); }
  Value(secure_string s) noexcept : kind_(SECURE) { new (&secure_) secure_string(std::move(s)); }
  Value(Object o) noexcept : kind_(OBJ) { new (&obj_) Object(std::move(o)); }
  Value(Array a) noexcept : kind_(ARR) { new (&arr_) Array(std::move(a)); }

  // Signed integers and unsigned ones narrower than 64 bits are held signed;
  // unsigned 64-bit integers are held unsigned.
  template <class T, std::enable_if_t<std::is_integral_v<T> && !std::is_same_v<T, bool> &&
                                          !std::is_same_v<T, char>,
                                      int> = 0>
  Value(T n) noexcept {
    if constexpr (std::is_unsigned_v<T> && sizeof(T) >= sizeof(std::uint64_t)) {
      kind_ = UINT;
      uint_ = static_cast<std::uint64_t>(n);
    } else {
      kind_ = INT;
      int_ = static_cast<std::int64_t>(n);
    }
  }

  Value(const Value& other);
  Value(Value&& other) noexcept {
    if (other.kind_ > SECURE) {
      copy_scalar(other);
    } else {
      take(std::move(other));
    }
  }
  Value& operator=(const Value& other);
  Value& operator=(Value&& other) noexcept;
  ~Value() {
    if (kind_ <= SECURE) destroy();
  }

  Value_type type() const noexcept {
    return kind_ == UINT ? int_type : static_cast<Value_type>(kind_);
  }
  bool is_null() const noexcept { return kind_ == NUL; }
  bool is_uint64() const noexcept { return kind_ == UINT; }
  // Whether the value is an integer that the signed (unsigned) 64-bit getter
  // can return without changing it.
  bool fits_int64() const noexcept {
    return kind_ == INT || (kind_ == UINT && uint_ <= static_cast<std::uint64_t>(INT64_MAX));
  }
  bool fits_uint64() const noexcept { return kind_ == UINT || (kind_ == INT && int_ >= 0); }

  // Throwing getters: each throws Type_Error when the value is of another kind.
  const Object& get_obj() const {
    if (kind_ != OBJ) throw_type_error(obj_type);
    return obj_;
  }
  Object& get_obj() {
    if (kind_ != OBJ) throw_type_error(obj_type);
    return obj_;
  }
  const Array& get_array() const {
    if (kind_ != ARR) throw_type_error(array_type);
    return arr_;
  }
  Array& get_array() {
    if (kind_ != ARR) throw_type_error(array_type);
    return arr_;
  }
  const std::string& get_str() const {
    if (kind_ != STR) throw_type_error(str_type);
    return str_;
  }
  const secure_string& get_secure_str() const {
    if (kind_ != SECURE) throw_type_error(secure_str_type);
    return secure_;
  }
  bool get_bool() const {
    if (kind_ != BOOL) throw_type_error(bool_type);
    return bool_;
  }
  int get_int() const { return static_cast<int>(get_int64()); }  // the 64-bit value narrowed
  // Throw Type_Error as well for a number the type cannot hold: an unsigned
  // value above the signed range, a negative value for the unsigned getter.
  std::int64_t get_int64() const {
    if (kind_ == INT) return int_;
    return int64_slow();
  }
  std::uint64_t get_uint64() const {
    if (kind_ == UINT) return uint_;
    if (kind_ == INT && int_ >= 0) return static_cast<std::uint64_t>(int_);
    return uint64_slow();
  }
  double get_real() const {  // integers are converted
    if (kind_ == REAL) return real_;
    if (kind_ == INT) return static_cast<double>(int_);
    if (kind_ == UINT) return static_cast<double>(uint_);
    throw_type_error(real_type);
  }

  friend bool operator==(const Value& a, const Value& b);
  friend bool operator!=(const Value& a, const Value& b) { return !(a == b); }

 private:
  friend struct detail::Reader_Access;
  friend struct detail::Object_Access;
  // Lets go of what the value holds; it is null afterwards.
  void release() noexcept {
    if (kind_ <= SECURE) destroy();
    kind_ = NUL;
  }
  struct Text {};
  Value(Text, std::string_view s) : kind_(STR) { new (&str_) std::string(s.data(), s.size()); }

  // Value_type numbers, and one more for the unsigned integer form.
  enum Kind : unsigned char { OBJ, ARR, STR, SECURE, BOOL, INT, REAL, NUL, UINT };

  [[noreturn]] void throw_type_error(Value_type wanted) const;
  std::int64_t int64_slow() const;
  std::uint64_t uint64_slow() const;
  void destroy() noexcept;
  // Constructs this (holding nothing) as a copy of `other`, which holds no
  // string or container.
  void copy_scalar(const Value& other) noexcept {
    kind_ = other.kind_;
    switch (kind_) {
      case BOOL:
        bool_ = other.bool_;
        break;
      case INT:
        int_ = other.int_;
        break;
      case REAL:
        real_ = other.real_;
        break;
      case UINT:
        uint_ = other.uint_;
        break;
      default:
        break;
    }
  }
  // Constructs this (holding nothing) from `other`.
  void take(Value&& other) noexcept;

  union {
    Object obj_;
    Array arr_;
    std::string str_;
    secure_string secure_;
    bool bool_;
    std::int64_t int_;
    double real_;
    std::uint64_t uint_;
  };
  Kind kind_;
};

// A member of an object: its name and its value, read as `first` and
// `second` (or through structured bindings) as those of std::map.  The name
// is never changed in place.
struct Member {
  const std::string& first;
  Value second;

  Member(std::string_view key, Value value)
      : first(*detail::make_key(key)), second(std::move(value)) {}
  Member(const Member& other) : Member(Copy{}, other.first, Value(other.second)) {}
  // The value is moved; a name of its own is copied, so `other` stays whole.
  Member(Member&& other) : Member(Copy{}, other.first, std::move(other.second)) {}
  ~Member() { detail::release_key(&first); }
  Member& operator=(const Member&) = delete;

 private:
  friend class Object;
  friend struct detail::Object_Access;
  struct Adopt {};
  struct Copy {};
  // A kept name is shared, any other copied; the value is taken over.
  Member(Copy, const std::string& key, Value&& value);
  // Takes over `key`, a made key.
  Member(Adopt, const std::string* key, Value&& value) noexcept
      : first(*key), second(std::move(value)) {}
  // Moves `from` into the raw storage `to` and ends `from`, whose storage
  // may then be reused: the name changes hands instead of being copied.
  static void relocate(Member* to, Member* from) noexcept {
    new (to) Member(Adopt{}, &from->first, std::move(from->second));
    from->second.~Value();
  }
};

using Pair = Member;

// Makes `v` an empty object and returns it.
Object& to_new_object(Value& v);

namespace detail {

// For the reader: an object built from members already in name order.
struct Object_Access {
  static void reserve_exact(Object& o, std::size_t n) { o.grow(n); }
  // Appends a member taking over `key` (a made key); the object has room.
  static void append(Object& o, const std::string* key, Value&& value) noexcept {
    new (o.data_ + o.size_) Member(Member::Adopt{}, key, std::move(value));
    ++o.size_;
    // What the move left is let go of now, so the reader's work space is
    // emptied without a call per value.
    value.release();
  }
};

// For the reader: a string value made in place.
struct Reader_Access {
  static Value string(std::string_view s) { return Value(Value::Text{}, s); }
};

}  // namespace detail

inline void detail::release_key(const std::string* key) noexcept {
  if (is_kept_key(key)) return;
  secure_wipe(const_cast<char*>(key->data()), key->capacity());
  delete key;
}

inline Object::iterator Object::begin() noexcept {
  return data_;
}
inline Object::iterator Object::end() noexcept {
  return data_ + size_;
}
inline Object::const_iterator Object::begin() const noexcept {
  return data_;
}
inline Object::const_iterator Object::end() const noexcept {
  return data_ + size_;
}
inline Object::iterator Object::lower_bound(std::string_view key) noexcept {
  return data_ + position(key);
}
inline Object::const_iterator Object::lower_bound(std::string_view key) const noexcept {
  return data_ + position(key);
}

namespace detail {

// Byte order of names, as std::string orders them; most pairs of names
// differ in their first byte, which is looked at before calling memcmp.
inline bool name_less(const std::string& a, std::string_view b) noexcept {
  if (!a.empty() && !b.empty() && a[0] != b[0]) {
    return static_cast<unsigned char>(a[0]) < static_cast<unsigned char>(b[0]);
  }
  return std::string_view(a) < b;
}

}  // namespace detail

inline std::size_t Object::position(std::string_view key) const noexcept {
  std::size_t low = 0;
  std::size_t count = size_;
  while (count > 0) {
    const std::size_t half = count / 2;
    if (detail::name_less(data_[low + half].first, key)) {
      low += half + 1;
      count -= half + 1;
    } else {
      count = half;
    }
  }
  return low;
}

inline Object::iterator Object::find(std::string_view key) noexcept {
  const std::size_t pos = position(key);
  return pos < size_ && data_[pos].first == key ? data_ + pos : end();
}

inline Object::const_iterator Object::find(std::string_view key) const noexcept {
  const std::size_t pos = position(key);
  return pos < size_ && data_[pos].first == key ? data_ + pos : end();
}

inline Value& Object::operator[](std::string_view key) {
  const std::size_t pos = position(key);
  if (pos < size_ && data_[pos].first == key) return data_[pos].second;
  return put(pos, detail::make_key(key), Value())->second;
}

template <class V>
std::pair<Object::iterator, bool> Object::insert_or_assign(std::string_view key, V&& value) {
  const std::size_t pos = position(key);
  if (pos < size_ && data_[pos].first == key) {
    data_[pos].second = std::forward<V>(value);
    return {data_ + pos, false};
  }
  if constexpr (std::is_same_v<std::decay_t<V>, Value> && !std::is_lvalue_reference_v<V>) {
    // Taken over only once the member is made.
    return {put(pos, detail::make_key(key), std::move(value)), true};
  } else {
    Value v(std::forward<V>(value));
    return {put(pos, detail::make_key(key), std::move(v)), true};
  }
}

template <class... Args>
std::pair<Object::iterator, bool> Object::emplace(std::string_view key, Args&&... args) {
  const std::size_t pos = position(key);
  if (pos < size_ && data_[pos].first == key) return {data_ + pos, false};
  Value v(std::forward<Args>(args)...);
  return {put(pos, detail::make_key(key), std::move(v)), true};
}

}  // namespace json_spirit
