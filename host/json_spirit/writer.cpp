#include "host/json_spirit/writer.h"

#include <charconv>

#include <boost/json/serializer.hpp>
#include <boost/json/value.hpp>

namespace json_spirit {
namespace {

class Writer {
 public:
  Writer(std::string& out, bool pretty) : out_(out), pretty_(pretty) {}

  void write_top(const Object& o) { write_object(o, 0); }

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
        out_ += v.get_bool() ? "true" : "false";
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
        out_ += "null";
        break;
    }
  }

 private:
  void write_object(const Object& o, int depth) {
    out_ += '{';
    bool first = true;
    for (const auto& [key, value] : o) {
      if (!first) out_ += ',';
      first = false;
      newline(depth + 1);
      write_string(key);
      out_ += pretty_ ? ": " : ":";
      write(value, depth + 1);
    }
    if (!o.empty()) newline(depth);
    out_ += '}';
  }

  void write_array(const Array& a, int depth) {
    out_ += '[';
    bool first = true;
    for (const Value& value : a) {
      if (!first) out_ += ',';
      first = false;
      newline(depth + 1);
      write(value, depth + 1);
    }
    if (!a.empty()) newline(depth);
    out_ += ']';
  }

  void newline(int depth) {
    if (!pretty_) return;
    out_ += '\n';
    out_.append(static_cast<std::size_t>(depth) * 2, ' ');
  }

  // Quoting and escaping are Boost.JSON's.
  void write_string(boost::json::string_view s) {
    serializer_.reset(s);
    drain();
  }

  void write_real(double d) {
    boost::json::value v(d);
    serializer_.reset(&v);
    drain();
  }

  template <class N>
  void write_number(N n) {
    char buf[24];
    auto res = std::to_chars(buf, buf + sizeof buf, n);
    out_.append(buf, res.ptr);
  }

  void drain() {
    char buf[256];
    while (!serializer_.done()) {
      boost::json::string_view part = serializer_.read(buf, sizeof buf);
      out_.append(part.data(), part.size());
    }
  }

  std::string& out_;
  bool pretty_;
  boost::json::serializer serializer_;
};

}  // namespace

JSON_Dump::JSON_Dump(const Value& value, bool pretty) {
  Writer writer(text_, pretty);
  writer.write(value, 0);
}

}  // namespace json_spirit

namespace json_spirit {

JSON_Dump::JSON_Dump(const Object& object, bool pretty) {
  Writer writer(text_, pretty);
  writer.write_top(object);
}

}  // namespace json_spirit
