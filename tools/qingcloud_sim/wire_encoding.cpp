#include "tools/qingcloud_sim/wire_encoding.h"

namespace qingcloud_sim {
namespace {

bool is_unreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '_' || c == '.' || c == '~';
}

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::string percent_encode(std::string_view text) {
  static const char HEX[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size() * 3);
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (is_unreserved(c)) {
      out += ch;
    } else {
      out += '%';
      out += HEX[c >> 4];
      out += HEX[c & 0x0F];
    }
  }
  return out;
}

bool percent_decode(std::string_view text, std::string* out) {
  out->clear();
  out->reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '+') {
      *out += ' ';
    } else if (c != '%') {
      *out += c;
    } else {
      const int high = i + 1 < text.size() ? hex_value(text[i + 1]) : -1;
      const int low = i + 2 < text.size() ? hex_value(text[i + 2]) : -1;
      if (high < 0 || low < 0) return false;
      *out += static_cast<char>(high * 16 + low);
      i += 2;
    }
  }
  return true;
}

bool parse_form(std::string_view text, Param_List* out) {
  out->clear();
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('&', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view segment = text.substr(start, end - start);
    if (!segment.empty()) {
      const std::size_t eq = segment.find('=');
      std::string name, value;
      if (!percent_decode(segment.substr(0, eq), &name)) return false;
      if (eq != std::string_view::npos && !percent_decode(segment.substr(eq + 1), &value))
        return false;
      out->emplace_back(std::move(name), std::move(value));
    }
    start = end + 1;
  }
  return true;
}

}  // namespace qingcloud_sim
