#include "host/json_spirit/reader.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>
#include <vector>

#include <boost/json/basic_parser_impl.hpp>

namespace json_spirit {
namespace {

// Builds Values straight from the events of Boost.JSON's parser, so the text
// is tokenized once and no intermediate document is made.
class Value_Builder {
 public:
  static constexpr std::size_t max_object_size = std::numeric_limits<std::size_t>::max();
  static constexpr std::size_t max_array_size = std::numeric_limits<std::size_t>::max();
  static constexpr std::size_t max_key_size = std::numeric_limits<std::size_t>::max();
  static constexpr std::size_t max_string_size = std::numeric_limits<std::size_t>::max();

  Value result;

  bool on_document_begin(boost::json::error_code&) { return true; }
  bool on_document_end(boost::json::error_code&) { return true; }

  bool on_array_begin(boost::json::error_code&) {
    stack_.push_back(Frame{Value(Array()), {}});
    return true;
  }
  bool on_array_end(std::size_t, boost::json::error_code&) { return close(); }

  bool on_object_begin(boost::json::error_code&) {
    stack_.push_back(Frame{Value(Object()), {}});
    return true;
  }
  bool on_object_end(std::size_t, boost::json::error_code&) { return close(); }

  bool on_string_part(boost::json::string_view s, std::size_t, boost::json::error_code&) {
    text_.append(s.data(), s.size());
    return true;
  }
  bool on_string(boost::json::string_view s, std::size_t, boost::json::error_code&) {
    text_.append(s.data(), s.size());
    std::string str;
    str.swap(text_);
    return add(Value(std::move(str)));
  }

  bool on_key_part(boost::json::string_view s, std::size_t, boost::json::error_code&) {
    text_.append(s.data(), s.size());
    return true;
  }
  bool on_key(boost::json::string_view s, std::size_t, boost::json::error_code&) {
    text_.append(s.data(), s.size());
    stack_.back().key.swap(text_);
    text_.clear();
    return true;
  }

  bool on_number_part(boost::json::string_view s, boost::json::error_code&) {
    number_.append(s.data(), s.size());
    return true;
  }
  bool on_int64(std::int64_t i, boost::json::string_view, boost::json::error_code&) {
    number_.clear();
    return add(Value(i));
  }
  bool on_uint64(std::uint64_t u, boost::json::string_view, boost::json::error_code&) {
    number_.clear();
    return add(Value(u));
  }
  bool on_double(double d, boost::json::string_view s, boost::json::error_code& ec) {
    number_.append(s.data(), s.size());
    d = nearest_double(d);
    number_.clear();
    // JSON has no infinity: a number too large for a double is refused.
    if (!std::isfinite(d)) {
      ec = boost::json::error::exponent_overflow;
      return false;
    }
    return add(Value(d));
  }
  bool on_bool(bool b, boost::json::error_code&) { return add(Value(b)); }
  bool on_null(boost::json::error_code&) { return add(Value()); }

  bool on_comment_part(boost::json::string_view, boost::json::error_code&) { return true; }
  bool on_comment(boost::json::string_view, boost::json::error_code&) { return true; }

 private:
  struct Frame {
    Value container;
    std::string key;  // pending member name while the container is an object
  };

  bool add(Value v) {
    if (stack_.empty()) {
      result = std::move(v);
      return true;
    }
    Frame& top = stack_.back();
    if (top.container.type() == array_type) {
      top.container.get_array().push_back(std::move(v));
    } else {
      // A repeated key keeps its last value: one member per key.
      top.container.get_obj().insert_or_assign(std::move(top.key), std::move(v));
      top.key.clear();
    }
    return true;
  }

  // Boost.JSON's conversion can miss the nearest double by a unit in the last
  // place, so a number would not survive a read and write unchanged; the
  // standard library's conversion of the same text is correctly rounded.
  // Where that reports the text out of range (underflow to zero, overflow),
  // Boost.JSON's result stands.
  double nearest_double(double parsed) const {
    double nearest = 0.0;
    const char* end = number_.data() + number_.size();
    auto [ptr, err] = std::from_chars(number_.data(), end, nearest);
    return err == std::errc() && ptr == end ? nearest : parsed;
  }

  bool close() {
    Value done = std::move(stack_.back().container);
    stack_.pop_back();
    return add(std::move(done));
  }

  std::vector<Frame> stack_;
  std::string text_;
  std::string number_;  // the text of the number being read
};

}  // namespace

bool read(std::string_view text, Value& value, std::string* error) {
  boost::json::parse_options options;
  options.max_depth = MAX_READ_DEPTH;
  boost::json::basic_parser<Value_Builder> parser(options);
  boost::json::error_code ec;
  std::size_t used = parser.write_some(false, text.data(), text.size(), ec);
  if (!ec && used != text.size()) ec = boost::json::error::extra_data;
  if (ec) {
    if (error) *error = ec.message() + " at offset " + std::to_string(used);
    return false;
  }
  value = std::move(parser.handler().result);
  return true;
}

}  // namespace json_spirit
