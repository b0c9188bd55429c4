#pragma once

#include <array>
#include <cstdint>

// Flag word of the percent-encoder.  Unreserved characters (letters, digits,
// "-", "_", ".", "~") are always copied; every other byte is written as "%"
// and two hex digits unless a flag below says otherwise.
enum HTTP_Encode_Flags : std::uint64_t {
  HUT_FLAG_SLASH = 1,      // "/" is encoded (clear: copied)
  HUT_FLAG_SPACE = 2,      // a space becomes "+" (clear: "%20")
  HUT_FLAG_UPPERCASE = 4,  // hex digits "0-9A-F" (clear: "0-9a-f")
  HUT_FLAG_KEEP_COLON = 8,
  HUT_FLAG_KEEP_LEFT_PAREN = 16,
  HUT_FLAG_KEEP_RIGHT_PAREN = 32,
  HUT_FLAG_KEEP_SINGLE_QUOTE = 64,
  HUT_FLAG_KEEP_ASTERISK = 128,
  // 256 has no meaning.
  HUT_FLAG_KEEP_EXCLAMATION = 512,
  HUT_FLAG_KEEP_POUND = 1024,
  HUT_FLAG_KEEP_DOLLAR = 2048,
  HUT_FLAG_KEEP_AMPERSAND = 4096,
  HUT_FLAG_KEEP_PLUS = 8192,
  HUT_FLAG_KEEP_COMMA = 16384,
  HUT_FLAG_KEEP_SEMICOLON = 32768,
  HUT_FLAG_KEEP_EQUAL = 65536,
  HUT_FLAG_KEEP_QUESTION = 131072,
  HUT_FLAG_KEEP_AT = 262144,

  // What a browser's encodeURIComponent() and encodeURI() leave alone.
  HUT_FLAG_JS_ENCODE_URI_COMPONENT = 757,
  HUT_FLAG_JS_ENCODE_URI = 524028,
};

namespace http_encode_detail {

// Per byte: ALWAYS for unreserved characters, the KEEP flag that spares a
// character, or 0.  No entry uses the bits of SLASH, SPACE or UPPERCASE.
constexpr std::uint64_t ALWAYS = std::uint64_t{1} << 63;

constexpr std::array<std::uint64_t, 256> make_keep_table() {
  std::array<std::uint64_t, 256> t{};
  for (int c = 'A'; c <= 'Z'; ++c)
    t[c] = ALWAYS;
  for (int c = 'a'; c <= 'z'; ++c)
    t[c] = ALWAYS;
  for (int c = '0'; c <= '9'; ++c)
    t[c] = ALWAYS;
  t['-'] = t['_'] = t['.'] = t['~'] = ALWAYS;
  t[':'] = HUT_FLAG_KEEP_COLON;
  t['('] = HUT_FLAG_KEEP_LEFT_PAREN;
  t[')'] = HUT_FLAG_KEEP_RIGHT_PAREN;
  t['\''] = HUT_FLAG_KEEP_SINGLE_QUOTE;
  t['*'] = HUT_FLAG_KEEP_ASTERISK;
  t['!'] = HUT_FLAG_KEEP_EXCLAMATION;
  t['#'] = HUT_FLAG_KEEP_POUND;
  t['$'] = HUT_FLAG_KEEP_DOLLAR;
  t['&'] = HUT_FLAG_KEEP_AMPERSAND;
  t['+'] = HUT_FLAG_KEEP_PLUS;
  t[','] = HUT_FLAG_KEEP_COMMA;
  t[';'] = HUT_FLAG_KEEP_SEMICOLON;
  t['='] = HUT_FLAG_KEEP_EQUAL;
  t['?'] = HUT_FLAG_KEEP_QUESTION;
  t['@'] = HUT_FLAG_KEEP_AT;
  return t;
}

inline constexpr std::array<std::uint64_t, 256> KEEP = make_keep_table();

// Appends the encoded form of the NUL-terminated `str` at `out` and leaves
// `out` past it, so that callers holding an iterator can carry on writing.
template <class OutputIt>
void encode_to(const char* str, std::uint64_t flags, OutputIt& out) {
  const char* hex = (flags & HUT_FLAG_UPPERCASE) ? "0123456789ABCDEF" : "0123456789abcdef";
  const std::uint64_t keep = flags | ALWAYS;
  for (; *str; ++str) {
    const auto c = static_cast<unsigned char>(*str);
    if ((KEEP[c] & keep) || (c == '/' && !(flags & HUT_FLAG_SLASH))) {
      *out++ = static_cast<char>(c);
    } else if (c == ' ' && (flags & HUT_FLAG_SPACE)) {
      *out++ = '+';
    } else {
      *out++ = '%';
      *out++ = hex[c >> 4];
      *out++ = hex[c & 0xF];
    }
  }
}

}  // namespace http_encode_detail

// Appends the percent-encoded form of the NUL-terminated `str` to `result`.
// Returns false, writing nothing, when `str` is null or empty.
template <class OutputIt>
bool http_encode_string_i(const char* str, std::uint64_t flags, OutputIt result) {
  if (!str || !*str) return false;
  http_encode_detail::encode_to(str, flags, result);
  return true;
}
