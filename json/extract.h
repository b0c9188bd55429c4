#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "host/json_spirit/object_get.h"
#include "host/json_spirit/value.h"
#include "support/secure_string.h"

namespace json_spirit {

// A port-sized read: the 64-bit integer narrowed to 16 bits.
bool object_get(const Object& obj, std::string_view key, unsigned short& out);

}  // namespace json_spirit

namespace qingcloud {

enum Extract_Flags : unsigned {
  FG_NOTHROW = 0,         // a missing or mistyped member leaves the output unchanged
  FG_THROW = 1,           // ... throws (the JSON library's exception)
  FG_BRK_UNT_CHROOT = 2,  // pointer extractor: reads are skipped until a chroot succeeds
};

// Reads members of an object, one chained call per member:
//
//   extract_or_throw(obj)("user_id", id)("user_name", name);
//   extract(obj)("port", port)("ssl", ssl);
//
// Integers are read as 64-bit and narrowed to the output.  Pointer outputs
// (`const std::string*`, `const Object*`, `const Array*`, `const Value*`) refer
// into the object.  A third argument sets the flags of that one read.
class Object_Extractor {
 public:
  Object_Extractor(const json_spirit::Object& obj, unsigned flags) noexcept
      : obj_(obj), flags_(flags) {}

  template <class T>
  Object_Extractor& operator()(std::string_view key, T& out) {
    return (*this)(key, out, flags_);
  }

  template <class T>
  Object_Extractor& operator()(std::string_view key, T& out, unsigned flags) {
    if (!read(key, out, (flags & FG_THROW) != 0)) ++missed_;
    return *this;
  }

  // Reads that found nothing of the right kind (non-throwing reads only).
  unsigned missed() const noexcept { return missed_; }

 private:
  using Object = json_spirit::Object;
  using Value = json_spirit::Value;
  using Array = json_spirit::Array;

  template <class Int>
  bool read_int(std::string_view key, Int& out, bool must) {
    std::int64_t n = 0;
    if (must) {
      n = json_spirit::object_get_int64_or_throw(obj_, key);
    } else if (!json_spirit::object_get(obj_, key, n)) {
      return false;
    }
    out = static_cast<Int>(n);
    return true;
  }

  bool read(std::string_view key, int& out, bool must) { return read_int(key, out, must); }
  bool read(std::string_view key, unsigned short& out, bool must) {
    return read_int(key, out, must);
  }
  bool read(std::string_view key, std::int64_t& out, bool must) { return read_int(key, out, must); }

  bool read(std::string_view key, std::uint64_t& out, bool must) {
    if (!must) return json_spirit::object_get(obj_, key, out);
    out = json_spirit::object_get_uint64_or_throw(obj_, key);
    return true;
  }

  bool read(std::string_view key, bool& out, bool must) {
    if (!must) return json_spirit::object_get(obj_, key, out);
    out = json_spirit::object_get_bool_or_throw(obj_, key);
    return true;
  }

  bool read(std::string_view key, double& out, bool must) {
    if (!must) return json_spirit::object_get(obj_, key, out);
    out = json_spirit::object_get_real_or_throw(obj_, key);
    return true;
  }

  bool read(std::string_view key, std::string& out, bool must) {
    if (!must) return json_spirit::object_get(obj_, key, out);
    out = json_spirit::object_get_str_or_throw(obj_, key);
    return true;
  }

  bool read(std::string_view key, secure_string& out, bool must) {
    const std::string* s = nullptr;
    if (!read(key, s, must)) return false;
    out.assign(s->data(), s->size());
    return true;
  }

  bool read(std::string_view key, const std::string*& out, bool must) {
    const std::string* s = must ? &json_spirit::object_get_str_or_throw(obj_, key)
                                : json_spirit::object_get_str(obj_, key);
    if (s) out = s;
    return s != nullptr;
  }

  bool read(std::string_view key, const Object*& out, bool must) {
    const Object* o = must ? &json_spirit::object_get_object_or_throw(obj_, key)
                           : json_spirit::object_get_object(obj_, key);
    if (o) out = o;
    return o != nullptr;
  }

  bool read(std::string_view key, const Value*& out, bool must) {
    const Value* v = must ? &json_spirit::object_get_value_or_throw(obj_, key)
                          : json_spirit::object_get_value(obj_, key);
    if (v) out = v;
    return v != nullptr;
  }

  bool read(std::string_view key, const Array*& out, bool must) {
    const Value* v = nullptr;
    if (!read(key, v, must)) return false;
    if (must) {
      out = &v->get_array();
      return true;
    }
    if (v->type() != json_spirit::array_type) return false;
    out = &v->get_array();
    return true;
  }

  const Object& obj_;
  unsigned flags_;
  unsigned missed_ = 0;
};

inline Object_Extractor extract(const json_spirit::Object& obj, unsigned flags = FG_NOTHROW) {
  return Object_Extractor(obj, flags);
}

inline Object_Extractor extract_or_throw(const json_spirit::Object& obj) {
  return Object_Extractor(obj, FG_THROW);
}

}  // namespace qingcloud
