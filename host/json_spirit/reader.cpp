#include "host/json_spirit/reader.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <numeric>
#include <system_error>
#include <vector>

#include <boost/json/basic_parser_impl.hpp>

namespace json_spirit {
namespace {

using detail::Object_Access;
using detail::Reader_Access;

// A value read but not yet placed in its container: array elements carry no
// name; members carry a made key (owned here until the object takes it).
struct Entry {
  const std::string* key;
  Value value;

  // The value is made in place.
  template <class Make>
  Entry(const std::string* k, Make&& make) : key(k), value(make()) {}
  Entry(Entry&& other) noexcept
      : key(std::exchange(other.key, nullptr)), value(std::move(other.value)) {}
  Entry& operator=(Entry&& other) noexcept {
    if (this != &other) {
      if (key) detail::release_key(key);
      key = std::exchange(other.key, nullptr);
      value = std::move(other.value);
    }
    return *this;
  }
  ~Entry() {
    if (key) detail::release_key(key);
  }
};

// Whether a kept name is `name`: names are short, and comparing them with a
// few word loads beats calling memcmp for each.
bool same_name(const std::string& kept, std::string_view name) noexcept {
  const std::size_t n = name.size();
  if (kept.size() != n) return false;
  const char* a = kept.data();
  const char* b = name.data();
  if (n > 16) return std::memcmp(a, b, n) == 0;
  std::uint64_t x = 0, y = 0, u = 0, v = 0;
  if (n >= 8) {
    // Two overlapping words cover 8 to 16 bytes.
    std::memcpy(&x, a, 8);
    std::memcpy(&y, b, 8);
    std::memcpy(&u, a + n - 8, 8);
    std::memcpy(&v, b + n - 8, 8);
    return ((x ^ y) | (u ^ v)) == 0;
  }
  if (n >= 4) {
    std::uint32_t p = 0, q = 0, r = 0, t = 0;
    std::memcpy(&p, a, 4);
    std::memcpy(&q, b, 4);
    std::memcpy(&r, a + n - 4, 4);
    std::memcpy(&t, b + n - 4, 4);
    return ((p ^ q) | (r ^ t)) == 0;
  }
  for (std::size_t i = 0; i < n; ++i)
    if (a[i] != b[i]) return false;
  return true;
}

// What a thread keeps from one read to the next, so that reading a reply
// allocates little more than the values it makes.  The records of a reply
// repeat the same names in the same order, so each kind of container (told
// by the names that lead to it: "instance_set", element, "image") has a
// shape: the name last read at each position, tried first, and the names of
// the last such object with their order, so that an object with the same
// names is put in order without sorting.
struct Scratch {
  static constexpr std::size_t SHAPES = 64;
  static constexpr std::size_t HINTS = 64;

  struct Shape {
    const std::string* hints[HINTS] = {};
    std::vector<const std::string*> keys;  // kept names, in the order read
    std::vector<std::uint32_t> picks;      // the entries to take, in name order
  };
  struct Open {
    std::uint64_t path;      // hash of the names that lead here
    const std::string* key;  // a name read, owned here until its value is
    std::uint32_t count;     // names read so far
    bool object;
  };

  // What holds text of the reply is wiped when released, as the values are.
  std::vector<Entry, secure_allocator<Entry>> stack;
  std::vector<Open> open;
  std::vector<std::uint32_t> picks;  // work space of put_in_order
  secure_string text;                // a string or name that came in parts
  secure_string number;              // the text of a number that came in parts
  Shape shapes[SHAPES];
  bool busy = false;

  Shape& shape(std::uint64_t path) { return shapes[path % SHAPES]; }

  // Lets go of what one unusually large text made the work space grow to.
  void trim() {
    constexpr std::size_t KEEP = 1 << 12;
    if (stack.capacity() > KEEP) decltype(stack)().swap(stack);
    if (text.capacity() > KEEP * 16) secure_string().swap(text);
    if (picks.capacity() > KEEP) std::vector<std::uint32_t>().swap(picks);
  }
};

// Builds Values straight from the events of Boost.JSON's parser, so the text
// is tokenized once and no intermediate document is made.  Each container is
// made once, when it ends, from the entries read into it.
class Value_Builder {
 public:
  static constexpr std::size_t max_object_size = std::numeric_limits<std::uint32_t>::max();
  static constexpr std::size_t max_array_size = std::numeric_limits<std::size_t>::max();
  static constexpr std::size_t max_key_size = std::numeric_limits<std::size_t>::max();
  static constexpr std::size_t max_string_size = std::numeric_limits<std::size_t>::max();

  explicit Value_Builder(Scratch& s) noexcept : s_(s) {}

  bool on_document_begin(boost::json::error_code&) { return true; }
  bool on_document_end(boost::json::error_code&) { return true; }

  bool on_array_begin(boost::json::error_code&) {
    open(false);
    return true;
  }
  bool on_array_end(std::size_t n, boost::json::error_code&) {
    close();
    Array array;
    array.reserve(n);
    const auto first = s_.stack.end() - static_cast<std::ptrdiff_t>(n);
    for (auto it = first; it != s_.stack.end(); ++it)
      array.push_back(std::move(it->value));
    s_.stack.erase(first, s_.stack.end());
    return add([&array] { return Value(std::move(array)); });
  }

  bool on_object_begin(boost::json::error_code&) {
    open(true);
    return true;
  }
  bool on_object_end(std::size_t n, boost::json::error_code&) {
    const std::uint64_t path = close();
    Object object;
    put_in_order(object, n, s_.shape(path));
    s_.stack.erase(s_.stack.end() - static_cast<std::ptrdiff_t>(n), s_.stack.end());
    return add([&object] { return Value(std::move(object)); });
  }

  bool on_string_part(boost::json::string_view s, std::size_t, boost::json::error_code&) {
    s_.text.append(s.data(), s.size());
    return true;
  }
  bool on_string(boost::json::string_view s, std::size_t, boost::json::error_code&) {
    if (s_.text.empty()) {
      return add([s] { return Reader_Access::string({s.data(), s.size()}); });
    }
    s_.text.append(s.data(), s.size());
    add([this] { return Reader_Access::string(s_.text); });
    s_.text.clear();
    return true;
  }

  bool on_key_part(boost::json::string_view s, std::size_t, boost::json::error_code&) {
    s_.text.append(s.data(), s.size());
    return true;
  }
  bool on_key(boost::json::string_view s, std::size_t, boost::json::error_code&) {
    std::string_view name(s.data(), s.size());
    if (!s_.text.empty()) {
      s_.text.append(s.data(), s.size());
      name = s_.text;
    }
    Scratch::Open& open = s_.open.back();
    const std::uint32_t index = open.count++;
    const std::string* key = nullptr;
    if (index < Scratch::HINTS) {
      const std::string*& hint = s_.shape(open.path).hints[index];
      if (hint != nullptr && same_name(*hint, name)) {
        key = hint;
      } else {
        key = detail::make_key(name);
        if (detail::is_kept_key(key)) hint = key;
      }
    } else {
      key = detail::make_key(name);
    }
    s_.text.clear();
    open.key = key;
    return true;
  }

  bool on_number_part(boost::json::string_view s, boost::json::error_code&) {
    s_.number.append(s.data(), s.size());
    return true;
  }
  bool on_int64(std::int64_t i, boost::json::string_view, boost::json::error_code&) {
    s_.number.clear();
    return add([i] { return Value(i); });
  }
  bool on_uint64(std::uint64_t u, boost::json::string_view, boost::json::error_code&) {
    s_.number.clear();
    return add([u] { return Value(u); });
  }
  bool on_double(double d, boost::json::string_view s, boost::json::error_code& ec) {
    std::string_view text(s.data(), s.size());
    if (!s_.number.empty()) {
      s_.number.append(s.data(), s.size());
      text = s_.number;
    }
    d = nearest_double(d, text);
    s_.number.clear();
    // JSON has no infinity: a number too large for a double is refused.
    if (!std::isfinite(d)) {
      ec = boost::json::error::exponent_overflow;
      return false;
    }
    return add([d] { return Value(d); });
  }
  bool on_bool(bool b, boost::json::error_code&) {
    return add([b] { return Value(b); });
  }
  bool on_null(boost::json::error_code&) {
    return add([] { return Value(); });
  }

  bool on_comment_part(boost::json::string_view, boost::json::error_code&) { return true; }
  bool on_comment(boost::json::string_view, boost::json::error_code&) { return true; }

 private:
  void open(bool object) {
    std::uint64_t path = 0x9E3779B97F4A7C15ull;
    if (!s_.open.empty()) {
      // An element counts as the name null.
      const std::string* name = s_.open.back().key;
      path = (s_.open.back().path ^ reinterpret_cast<std::uintptr_t>(name)) * 0xBF58476D1CE4E5B9ull;
      path ^= path >> 31;
    }
    s_.open.push_back(Scratch::Open{path, nullptr, 0, object});
  }
  std::uint64_t close() {
    const std::uint64_t path = s_.open.back().path;
    s_.open.pop_back();
    return path;
  }

  // Places a value made by `make`: a member's under the name just read, an
  // element (or the document) without a name.
  template <class Make>
  bool add(Make&& make) {
    if (s_.open.empty()) {
      s_.stack.emplace_back(nullptr, std::forward<Make>(make));
      return true;
    }
    Scratch::Open& open = s_.open.back();
    s_.stack.emplace_back(open.key, std::forward<Make>(make));
    open.key = nullptr;
    return true;
  }

  // Moves the last `n` entries into `object` in name order.  A repeated name
  // keeps its last value: one member per name.
  void put_in_order(Object& object, std::size_t n, Scratch::Shape& shape) {
    Entry* entries = s_.stack.data() + (s_.stack.size() - n);
    const std::vector<std::uint32_t>* picks = nullptr;
    if (shape.keys.size() == n &&
        std::equal(shape.keys.begin(), shape.keys.end(), entries,
                   [](const std::string* k, const Entry& e) { return k == e.key; })) {
      picks = &shape.picks;
    } else {
      picks = &sort_entries(entries, n);
      if (std::all_of(entries, entries + n,
                      [](const Entry& e) { return detail::is_kept_key(e.key); })) {
        shape.keys.resize(n);
        for (std::size_t i = 0; i < n; ++i)
          shape.keys[i] = entries[i].key;
        shape.picks = *picks;
        picks = &shape.picks;
      }
    }
    Object_Access::reserve_exact(object, picks->size());
    for (std::uint32_t i : *picks) {
      Entry& e = entries[i];
      Object_Access::append(object, std::exchange(e.key, nullptr), std::move(e.value));
    }
  }

  const std::vector<std::uint32_t>& sort_entries(const Entry* entries, std::size_t n) {
    std::vector<std::uint32_t>& picks = s_.picks;
    picks.resize(n);
    std::iota(picks.begin(), picks.end(), 0u);
    auto name_less = [entries](std::uint32_t a, std::uint32_t b) {
      return *entries[a].key < *entries[b].key;
    };
    if (!std::is_sorted(picks.begin(), picks.end(), name_less)) {
      std::stable_sort(picks.begin(), picks.end(), name_less);
    }
    // Of a run of equal names (in reading order, the sort being stable) the
    // last one stays.
    std::size_t kept = 0;
    for (std::size_t i = 0; i < n; ++i) {
      if (i + 1 < n && *entries[picks[i]].key == *entries[picks[i + 1]].key) continue;
      picks[kept++] = picks[i];
    }
    picks.resize(kept);
    return picks;
  }

  // Boost.JSON's conversion can miss the nearest double by a unit in the last
  // place, so a number would not survive a read and write unchanged; the
  // standard library's conversion of the same text is correctly rounded.
  // Where that reports the text out of range (underflow to zero, overflow),
  // Boost.JSON's result stands.
  static double nearest_double(double parsed, std::string_view text) {
    double nearest = 0.0;
    const char* end = text.data() + text.size();
    auto [ptr, err] = std::from_chars(text.data(), end, nearest);
    return err == std::errc() && ptr == end ? nearest : parsed;
  }

  Scratch& s_;
};

// Clears the work space however the read ends.
class Scratch_Lease {
 public:
  explicit Scratch_Lease(Scratch& s) noexcept : s_(s) { s_.busy = true; }
  ~Scratch_Lease() {
    s_.stack.clear();
    for (const Scratch::Open& open : s_.open) {
      if (open.key) detail::release_key(open.key);
    }
    s_.open.clear();
    // Kept for the next read, but not with this reply's text in it.
    for (secure_string* kept : {&s_.text, &s_.number}) {
      secure_wipe(&(*kept)[0], kept->capacity());
      kept->clear();
    }
    s_.trim();
    s_.busy = false;
  }
  Scratch_Lease(const Scratch_Lease&) = delete;
  Scratch_Lease& operator=(const Scratch_Lease&) = delete;

 private:
  Scratch& s_;
};

bool read_with(Scratch& scratch, std::string_view text, Value& value, std::string* error) {
  Scratch_Lease lease(scratch);
  boost::json::parse_options options;
  options.max_depth = MAX_READ_DEPTH;
  boost::json::basic_parser<Value_Builder> parser(options, scratch);
  boost::json::error_code ec;
  std::size_t used = parser.write_some(false, text.data(), text.size(), ec);
  if (!ec && used != text.size()) ec = boost::json::error::extra_data;
  if (ec) {
    if (error) *error = ec.message() + " at offset " + std::to_string(used);
    return false;
  }
  value = std::move(scratch.stack.back().value);
  return true;
}

}  // namespace

bool read(std::string_view text, Value& value, std::string* error) {
  thread_local Scratch scratch;
  if (!scratch.busy) return read_with(scratch, text, value, error);
  // Only a read made while another is under way on this thread (none of the
  // library's) gets a work space of its own.
  Scratch own;
  return read_with(own, text, value, error);
}

}  // namespace json_spirit
