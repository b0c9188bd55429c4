#include "tools/agent/terminal_text.h"

#include <cstdint>
#include <cstring>

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

const char HEX[] = "0123456789abcdef";

void append_x(std::string& out, std::uint32_t byte) {
  const char text[4] = {'\\', 'x', HEX[(byte >> 4) & 15], HEX[byte & 15]};
  out.append(text, 4);
}

void append_u(std::string& out, std::uint32_t code) {
  const char text[6] = {
      '\\',          'u', HEX[(code >> 12) & 15], HEX[(code >> 8) & 15], HEX[(code >> 4) & 15],
      HEX[code & 15]};
  out.append(text, 6);
}

// What a line for people shows of one character, `well_formed` or a stray
// byte.
void escape_for_line(std::string& out, std::uint32_t c, bool well_formed) {
  if (!well_formed) return append_x(out, c);
  switch (c) {
    case '\\':
      out.append("\\\\", 2);
      return;
    case '\n':
      out.append("\\n", 2);
      return;
    case '\r':
      out.append("\\r", 2);
      return;
    case '\t':
      out.append("\\t", 2);
      return;
  }
  if (c < 0x80) return append_x(out, c);
  append_u(out, c);
}

// JSON keeps its structure (line breaks, indents) and the writer's own
// escapes: only DEL, C1 and stray bytes change.
void escape_for_json(std::string& out, std::uint32_t c, bool well_formed) {
  if (!well_formed) {
    out.append("\\ufffd", 6);
    return;
  }
  append_u(out, c);
}

// JSON for people is mostly ASCII below DEL: eight such bytes are skipped
// at a time.  Adding one to each byte sets its top bit only for DEL, and no
// byte carries into the next while none has its top bit set.
std::size_t skip_plain_json(const unsigned char* p, std::size_t i, std::size_t size) {
  constexpr std::uint64_t ONES = 0x0101010101010101, TOPS = 0x8080808080808080;
  for (; i + 8 <= size; i += 8) {
    std::uint64_t block;
    std::memcpy(&block, p + i, 8);
    if ((block | (block + ONES)) & TOPS) break;
  }
  return i;
}

// What each kind of output leaves as it is (`plain` bytes, and `skip` runs
// of them at once) and how it shows the rest.
struct Json_Rule {
  static bool plain(unsigned char c) { return c < 0x7f; }
  static std::size_t skip(const unsigned char* p, std::size_t i, std::size_t size) {
    return skip_plain_json(p, i, size);
  }
  static void escape(std::string& out, std::uint32_t c, bool well_formed) {
    escape_for_json(out, c, well_formed);
  }
};
struct Line_Rule {
  static bool plain(unsigned char c) { return c >= 0x20 && c < 0x7f && c != '\\'; }
  static std::size_t skip(const unsigned char*, std::size_t i, std::size_t) { return i; }
  static void escape(std::string& out, std::uint32_t c, bool well_formed) {
    escape_for_line(out, c, well_formed);
  }
};

// The offset of the first character of `text` from `from` on that the rule
// escapes, or text.size().  Well-formed UTF-8 outside the C1 range is plain.
template <class Rule>
std::size_t first_escape(std::string_view text, std::size_t from) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  std::size_t i = Rule::skip(p, from, text.size());
  while (i < text.size()) {
    if (Rule::plain(p[i])) {
      i = Rule::skip(p, i + 1, text.size());
      continue;
    }
    std::uint32_t code = 0;
    const std::size_t n = utf8_sequence(p + i, text.size() - i, code);
    if (n < 2 || code < 0xa0) return i;  // a control character or a stray byte
    i += n;
  }
  return i;
}

// `text`, whose first character to change is at `stop`, with each such
// character escaped by the rule: runs of plain text are copied whole.
template <class Rule>
std::string filtered(std::string_view text, std::size_t stop) {
  std::string out;
  // Escapes are rare: room for a few of them, so the copy is sized once.
  out.reserve(text.size() + 64);
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  for (std::size_t i = 0;;) {
    out.append(text.data() + i, stop - i);
    if (stop == text.size()) return out;
    std::uint32_t code = 0;
    const std::size_t n = utf8_sequence(p + stop, text.size() - stop, code);
    Rule::escape(out, n ? code : p[stop], n != 0);
    i = stop + (n ? n : 1);
    stop = first_escape<Rule>(text, i);
  }
}

}  // namespace

std::string printable(std::string_view text) {
  const std::size_t first = first_escape<Line_Rule>(text, 0);
  if (first == text.size()) return std::string(text);
  return filtered<Line_Rule>(text, first);
}

std::string printable_line(std::string_view text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
    text.remove_suffix(1);
  return printable(text);
}

std::string printable_json(std::string_view json) {
  const std::size_t first = first_escape<Json_Rule>(json, 0);
  if (first == json.size()) return std::string(json);
  return filtered<Json_Rule>(json, first);
}

std::string printable_json(std::string&& json) {
  const std::size_t first = first_escape<Json_Rule>(json, 0);
  if (first == json.size()) return std::move(json);
  return filtered<Json_Rule>(json, first);
}
