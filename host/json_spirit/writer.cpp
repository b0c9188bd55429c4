#include "host/json_spirit/writer.h"

#include <charconv>
#include <cstring>

#include <boost/json/serializer.hpp>
#include <boost/json/value.hpp>

namespace json_spirit {
namespace {

// Writes into a buffer on the stack and hands the text on in blocks, so that
// each character costs a store rather than a call; the text itself grows as
// std::string grows, touching no more memory than it holds.
class Writer {
 public:
  Writer(std::string& out, bool pretty) : out_(out), pretty_(pretty) {}

  void write_top(const Object& o) { write_object(o, 0); }
  void finish() { flush(); }

  void write(const Value& v, int depth) {
    switch (v.type()) {
      case obj_type:
        write_object(v.get_obj(), depth);
        break;
      case array_type:
        write_array(v.get_array(), depth);
        break;
      case str_type:
        write_string(v.get_str());
        break;
      case secure_str_type:
        write_string({v.get_secure_str().data(), v.get_secure_str().size()});
        break;
      case bool_type:
        if (v.get_bool()) {
          put("true", 4);
        } else {
          put("false", 5);
        }
        break;
      case int_type:
        if (v.is_uint64()) {
          write_number(v.get_uint64());
        } else {
          write_number(v.get_int64());
        }
        break;
      case real_type:
        write_real(v.get_real());
        break;
      case null_type:
        put("null", 4);
        break;
    }
  }

 private:
  static constexpr std::size_t BLOCK = 16384;

  void write_object(const Object& o, int depth) {
    put('{');
    bool first = true;
    for (const auto& [key, value] : o) {
      if (!first) put(',');
      first = false;
      newline(depth + 1);
      write_string(key);
      if (pretty_) {
        put(": ", 2);
      } else {
        put(':');
      }
      write(value, depth + 1);
    }
    if (!o.empty()) newline(depth);
    put('}');
  }

  void write_array(const Array& a, int depth) {
    put('[');
    bool first = true;
    for (const Value& value : a) {
      if (!first) put(',');
      first = false;
      newline(depth + 1);
      write(value, depth + 1);
    }
    if (!a.empty()) newline(depth);
    put(']');
  }

  void newline(int depth) {
    if (!pretty_) return;
    put('\n');
    for (int i = 0; i < depth; ++i)
      put("  ", 2);
  }

  // A string with nothing to escape (the common case) is copied between its
  // quotes; quoting and escaping any other is Boost.JSON's.
  void write_string(std::string_view s) {
    if (!needs_escape(s)) {
      put('"');
      put(s.data(), s.size());
      put('"');
      return;
    }
    serializer_.reset(boost::json::string_view(s.data(), s.size()));
    drain();
  }

  static bool needs_escape(std::string_view s) noexcept {
    for (char c : s) {
      const auto u = static_cast<unsigned char>(c);
      if (u < 0x20 || c == '"' || c == '\\') return true;
    }
    return false;
  }

  void write_real(double d) {
    boost::json::value v(d);
    serializer_.reset(&v);
    drain();
  }

  template <class N>
  void write_number(N n) {
    room(24);
    pos_ = std::to_chars(buf_ + pos_, buf_ + BLOCK, n).ptr - buf_;
  }

  void drain() {
    while (!serializer_.done()) {
      room(256);
      boost::json::string_view part = serializer_.read(buf_ + pos_, BLOCK - pos_);
      pos_ += part.size();
    }
  }

  void put(char c) {
    if (pos_ == BLOCK) flush();
    buf_[pos_++] = c;
  }
  void put(const char* s, std::size_t n) {
    if (n > BLOCK - pos_) {
      flush();
      if (n > BLOCK) {
        out_.append(s, n);
        return;
      }
    }
    std::memcpy(buf_ + pos_, s, n);
    pos_ += n;
  }
  void room(std::size_t n) {
    if (BLOCK - pos_ < n) flush();
  }
  void flush() {
    out_.append(buf_, pos_);
    pos_ = 0;
  }

  std::string& out_;
  bool pretty_;
  boost::json::serializer serializer_;
  std::size_t pos_ = 0;
  char buf_[BLOCK];
};

// How long the text of a value will be: exact, except that a string with
// characters to escape counts the longest escape for each and a real the
// longest number.  The text is then made in one block of that size; growing
// it by doubling would copy it over and over and touch up to twice the memory
// (a listing's answer is megabytes).
class Sizer {
 public:
  explicit Sizer(bool pretty) noexcept : pretty_(pretty) {}

  std::size_t of(const Value& v, std::size_t depth) const {
    switch (v.type()) {
      case obj_type:
        return of_object(v.get_obj(), depth);
      case array_type: {
        const Array& a = v.get_array();
        std::size_t n = 2 + separators(a.size(), depth);
        for (const Value& element : a)
          n += of(element, depth + 1);
        return n;
      }
      case str_type:
        return of_string(v.get_str());
      case secure_str_type:
        return of_string({v.get_secure_str().data(), v.get_secure_str().size()});
      case bool_type:
        return v.get_bool() ? 4 : 5;
      case int_type: {
        char buf[24];
        const auto end = v.is_uint64() ? std::to_chars(buf, buf + sizeof buf, v.get_uint64()).ptr
                                       : std::to_chars(buf, buf + sizeof buf, v.get_int64()).ptr;
        return static_cast<std::size_t>(end - buf);
      }
      case real_type:
        return 32;
      case null_type:
        return 4;
    }
    return 0;
  }

  std::size_t of_object(const Object& o, std::size_t depth) const {
    std::size_t n = 2 + separators(o.size(), depth) + o.size() * (pretty_ ? 2 : 1);
    for (const auto& [key, value] : o)
      n += of_string(key) + of(value, depth + 1);
    return n;
  }

 private:
  // Commas, and the line breaks and indents of the pretty form, of a
  // container of `count` elements at `depth`.
  std::size_t separators(std::size_t count, std::size_t depth) const noexcept {
    if (count == 0) return 0;
    std::size_t n = count - 1;
    if (pretty_) n += count * (1 + 2 * (depth + 1)) + 1 + 2 * depth;
    return n;
  }

  static std::size_t of_string(std::string_view s) noexcept {
    std::size_t n = s.size() + 2;
    for (char c : s) {
      const auto u = static_cast<unsigned char>(c);
      if (u < 0x20 || c == '"' || c == '\\') n += 5;
    }
    return n;
  }

  bool pretty_;
};

}  // namespace

JSON_Dump::JSON_Dump(const Value& value, bool pretty) {
  text_.reserve(Sizer(pretty).of(value, 0));
  Writer writer(text_, pretty);
  writer.write(value, 0);
  writer.finish();
}

JSON_Dump::JSON_Dump(const Object& object, bool pretty) {
  text_.reserve(Sizer(pretty).of_object(object, 0));
  Writer writer(text_, pretty);
  writer.write_top(object);
  writer.finish();
}

}  // namespace json_spirit
