#include "tools/agent/terminal_text.h"

#include <cstdint>
#include <cstdio>

namespace {

// The length of the UTF-8 sequence at `p` (of `left` bytes) with its code
// point, or 0 when it is not well formed (overlong forms and surrogates
// included).
std::size_t utf8_sequence(const unsigned char* p, std::size_t left, std::uint32_t& code) {
  const unsigned char b = p[0];
  std::size_t n;
  unsigned char low = 0x80, high = 0xbf;  // the second byte's range
  if (b < 0x80) {
    code = b;
    return 1;
  } else if (b >= 0xc2 && b <= 0xdf) {
    n = 2;
    code = b & 0x1f;
  } else if (b >= 0xe0 && b <= 0xef) {
    n = 3;
    code = b & 0x0f;
    if (b == 0xe0) low = 0xa0;
    if (b == 0xed) high = 0x9f;
  } else if (b >= 0xf0 && b <= 0xf4) {
    n = 4;
    code = b & 0x07;
    if (b == 0xf0) low = 0x90;
    if (b == 0xf4) high = 0x8f;
  } else {
    return 0;
  }
  if (left < n || p[1] < low || p[1] > high) return 0;
  for (std::size_t i = 1; i < n; ++i) {
    if ((p[i] & 0xc0) != 0x80) return 0;
    code = (code << 6) | (p[i] & 0x3f);
  }
  return n;
}

std::string hex(const char* format, unsigned value) {
  char text[8];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

// Walks `text`: plain ASCII and well-formed characters outside the C1 range
// are copied; the rest goes to `escape` with the byte or code point.
template <class Escape>
std::string filtered(std::string_view text, Escape escape) {
  std::string out;
  out.reserve(text.size());
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  for (std::size_t i = 0; i < text.size();) {
    std::uint32_t code = 0;
    const std::size_t n = utf8_sequence(p + i, text.size() - i, code);
    if (n == 0) {
      out += escape(p[i], false);
      i += 1;
      continue;
    }
    const bool control =
        code < 0x20 || code == 0x7f || code == '\\' || (code >= 0x80 && code < 0xa0);
    if (control) {
      out += escape(code, true);
    } else {
      out.append(text.data() + i, n);
    }
    i += n;
  }
  return out;
}

}  // namespace

std::string printable(std::string_view text) {
  return filtered(text, [](std::uint32_t c, bool well_formed) -> std::string {
    if (!well_formed) return hex("\\x%02x", c);
    switch (c) {
      case '\\':
        return "\\\\";
      case '\n':
        return "\\n";
      case '\r':
        return "\\r";
      case '\t':
        return "\\t";
    }
    return c < 0x80 ? hex("\\x%02x", c) : hex("\\u%04x", c);
  });
}

std::string printable_json(std::string_view json) {
  return filtered(json, [](std::uint32_t c, bool well_formed) -> std::string {
    if (!well_formed) return "\\ufffd";
    // Structure (line breaks, indents) and the writer's own escapes stay.
    if (c < 0x20 || c == '\\') return std::string(1, static_cast<char>(c));
    return hex("\\u%04x", c);
  });
}
