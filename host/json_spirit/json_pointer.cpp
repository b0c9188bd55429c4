#include "host/json_spirit/json_pointer.h"

#include <cctype>
#include <limits>

namespace json_spirit {
namespace {

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// URI fragments carry the pointer percent-encoded (RFC 3986).
bool percent_decode(const std::string& in, std::string& out) {
  out.clear();
  for (std::size_t i = 0; i < in.size(); ++i) {
    if (in[i] != '%') {
      out += in[i];
      continue;
    }
    if (i + 2 >= in.size()) return false;
    int hi = hex_digit(in[i + 1]);
    int lo = hex_digit(in[i + 2]);
    if (hi < 0 || lo < 0) return false;
    out += static_cast<char>(hi * 16 + lo);
    i += 2;
  }
  return true;
}

bool unescape_token(const std::string& raw, std::string& token) {
  token.clear();
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] != '~') {
      token += raw[i];
      continue;
    }
    if (i + 1 == raw.size()) return false;
    char next = raw[++i];
    if (next == '0') {
      token += '~';
    } else if (next == '1') {
      token += '/';
    } else {
      return false;
    }
  }
  return true;
}

// An array index is "0" or digits without a leading zero; "-" (one past the
// end) never resolves to a value.
bool array_index(std::string_view token, std::size_t size, std::size_t& index) {
  if (token.empty() || (token.size() > 1 && token[0] == '0')) return false;
  std::size_t n = 0;
  for (char c : token) {
    if (c < '0' || c > '9') return false;
    if (n > (std::numeric_limits<std::size_t>::max() - 9) / 10) return false;
    n = n * 10 + static_cast<std::size_t>(c - '0');
  }
  if (n >= size) return false;
  index = n;
  return true;
}

}  // namespace

bool JSON_Pointer::path(const std::string& text, bool uri_fragment) {
  std::string pointer;
  if (uri_fragment) {
    if (text.empty() || text[0] != '#' || !percent_decode(text.substr(1), pointer)) return false;
  } else {
    pointer = text;
  }
  if (!pointer.empty() && pointer[0] != '/') return false;

  std::vector<std::string> tokens;
  std::size_t start = 1;
  while (start <= pointer.size() && !pointer.empty()) {
    std::size_t end = pointer.find('/', start);
    if (end == std::string::npos) end = pointer.size();
    std::string token;
    if (!unescape_token(pointer.substr(start, end - start), token)) return false;
    tokens.push_back(std::move(token));
    start = end + 1;
  }
  text_ = std::move(pointer);
  tokens_ = std::move(tokens);
  return true;
}

namespace {

// The member or element that `token` names within `v`, or null.
const Value* step(const Value* v, std::string_view token) {
  switch (v->type()) {
    case obj_type: {
      const Object& o = v->get_obj();
      auto it = o.find(token);
      return it == o.end() ? nullptr : &it->second;
    }
    case array_type: {
      const Array& a = v->get_array();
      std::size_t i = 0;
      return array_index(token, a.size(), i) ? &a[i] : nullptr;
    }
    default:
      return nullptr;
  }
}

}  // namespace

const Value* JSON_Pointer::resolve(const Value& root) const {
  const Value* v = &root;
  for (const std::string& token : tokens_) {
    v = step(v, token);
    if (!v) return nullptr;
  }
  return v;
}

const Value* JSON_Pointer::resolve(const Value& root, std::string_view text) {
  if (!text.empty() && text[0] != '/') return nullptr;
  const Value* v = &root;
  std::string unescaped;
  std::size_t start = 1;
  while (start <= text.size() && !text.empty()) {
    std::size_t end = text.find('/', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view token = text.substr(start, end - start);
    if (token.find('~') != std::string_view::npos) {
      if (!unescape_token(std::string(token), unescaped)) return nullptr;
      token = unescaped;
    }
    // A text that is not a pointer resolves to nothing, however far it gets.
    if (v) v = step(v, token);
    start = end + 1;
  }
  return v;
}

bool JSON_Pointer::take(const Value* v, std::string& out) {
  if (!v || v->type() != str_type) return false;
  out = v->get_str();
  return true;
}

bool JSON_Pointer::take(const Value* v, int& out) {
  if (!v || !v->fits_int64()) return false;
  out = v->get_int();
  return true;
}

bool JSON_Pointer::take(const Value* v, std::uint64_t& out) {
  if (!v || !v->fits_uint64()) return false;
  out = v->get_uint64();
  return true;
}

bool JSON_Pointer::take(const Value* v, const Value*& out) {
  if (!v) return false;
  out = v;
  return true;
}

bool JSON_Pointer::take(const Value* v, const Array*& out) {
  if (!v || v->type() != array_type) return false;
  out = &v->get_array();
  return true;
}

bool JSON_Pointer::get(const Value& root, std::string& out) const {
  return take(resolve(root), out);
}

bool JSON_Pointer::get(const Value& root, int& out) const {
  return take(resolve(root), out);
}

bool JSON_Pointer::get(const Value& root, std::uint64_t& out) const {
  return take(resolve(root), out);
}

bool JSON_Pointer::get(const Value& root, const Value*& out) const {
  return take(resolve(root), out);
}

bool JSON_Pointer::get(const Value& root, const Array*& out) const {
  return take(resolve(root), out);
}

}  // namespace json_spirit
