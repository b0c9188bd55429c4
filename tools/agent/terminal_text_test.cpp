#include "tools/agent/terminal_text.h"

#include <string>

#include <gtest/gtest.h>

#include "host/json_spirit/reader.h"
#include "host/json_spirit/writer.h"

namespace {

TEST(Terminal_Text, ShowsControlCharactersAsEscapes) {
  struct Case {
    const char* what;
    std::string text, line, json;  // printable(text), printable_json("\"text\"")
  } cases[] = {
      {"plain text", "web-01", "web-01", "\"web-01\""},
      {"letters beyond ASCII", "北京 é", "北京 é", "\"北京 é\""},
      {"a screen clear", "\x1b[2J", "\\x1b[2J", "\"\x1b[2J\""},
      {"a break and a tab", "a\nb\tc\r", "a\\nb\\tc\\r", "\"a\nb\tc\r\""},
      {"DEL", "a\x7f", "a\\x7f", "\"a\\u007f\""},
      {"C1 CSI, as UTF-8",
       "\xc2\x9b"
       "2J",
       "\\u009b2J", "\"\\u009b2J\""},
      {"a backslash", "a\\b", "a\\\\b", "\"a\\b\""},
      {"bytes that are not UTF-8", "\xff\x9b", "\\xff\\x9b", "\"\\ufffd\\ufffd\""},
      {"an overlong slash", "\xc0\xaf", "\\xc0\\xaf", "\"\\ufffd\\ufffd\""},
      {"a surrogate", "\xed\xa0\x80", "\\xed\\xa0\\x80", "\"\\ufffd\\ufffd\\ufffd\""},
      {"a cut sequence", "\xe4\xb8", "\\xe4\\xb8", "\"\\ufffd\\ufffd\""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(printable(c.text), c.line) << c.what;
    // C0 is the writer's to escape; structure and its escapes stay.
    EXPECT_EQ(printable_json("\"" + c.text + "\""), c.json) << c.what;
  }
}

TEST(Terminal_Text, JsonStaysTheSameValue) {
  const json_spirit::Value value(json_spirit::Object{{"name", "\x1b[2J\x7f\xc2\x9b-evil"},
                                                     {"n", json_spirit::Array{1, "\\"}}});
  const std::string text = printable_json(json_spirit::JSON_Dump(value, true).str());
  for (char c : text)
    EXPECT_TRUE(c == '\n' || (c >= 0x20 && c != 0x7f && c != '\xc2')) << text;
  json_spirit::Value back;
  ASSERT_TRUE(json_spirit::read(text, back)) << text;
  EXPECT_EQ(back, value);
}

}  // namespace
