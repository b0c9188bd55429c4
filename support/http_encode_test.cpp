#include "support/http_encode.h"

#include <iterator>
#include <string>

#include <gtest/gtest.h>

namespace {

std::string encode(const char* text, std::uint64_t flags) {
  std::string out;
  EXPECT_TRUE(http_encode_string_i(text, flags, std::back_inserter(out)));
  return out;
}

const char* const SPECIALS = ":()'*!#$&+,;=?@";

struct Case {
  const char* input;
  std::uint64_t flags;
  const char* expected;
};

TEST(HTTP_Encode, FollowsTheFlagWord) {
  const Case cases[] = {
      // Unreserved characters never change.
      {"AZaz09-_.~", 0, "AZaz09-_.~"},
      {"AZaz09-_.~", 5, "AZaz09-_.~"},
      // Slash: copied unless SLASH; space: %20 unless SPACE.
      {"a b/c", 0, "a%20b/c"},
      {"a b/c", HUT_FLAG_SLASH, "a%20b%2fc"},
      {"a b/c", HUT_FLAG_SPACE, "a+b/c"},
      {"a b/c", HUT_FLAG_SLASH | HUT_FLAG_UPPERCASE, "a%20b%2Fc"},
      // Hex digits follow UPPERCASE, also for bytes above 0x7F (é in UTF-8).
      {"\xc3\xa9", 0, "%c3%a9"},
      {"\xc3\xa9", HUT_FLAG_SLASH | HUT_FLAG_UPPERCASE, "%C3%A9"},
      {"\x01\x7f\xff", 4, "%01%7F%FF"},
      // Every KEEP flag spares its character and no other.
      {SPECIALS, HUT_FLAG_KEEP_COLON | 4, ":%28%29%27%2A%21%23%24%26%2B%2C%3B%3D%3F%40"},
      {SPECIALS, HUT_FLAG_KEEP_LEFT_PAREN | 4, "%3A(%29%27%2A%21%23%24%26%2B%2C%3B%3D%3F%40"},
      {SPECIALS, HUT_FLAG_KEEP_RIGHT_PAREN | 4, "%3A%28)%27%2A%21%23%24%26%2B%2C%3B%3D%3F%40"},
      {SPECIALS, HUT_FLAG_KEEP_SINGLE_QUOTE | 4, "%3A%28%29'%2A%21%23%24%26%2B%2C%3B%3D%3F%40"},
      {SPECIALS, HUT_FLAG_KEEP_ASTERISK | 4, "%3A%28%29%27*%21%23%24%26%2B%2C%3B%3D%3F%40"},
      {SPECIALS, HUT_FLAG_KEEP_EXCLAMATION | 4, "%3A%28%29%27%2A!%23%24%26%2B%2C%3B%3D%3F%40"},
      {SPECIALS, HUT_FLAG_KEEP_POUND | 4, "%3A%28%29%27%2A%21#%24%26%2B%2C%3B%3D%3F%40"},
      {SPECIALS, HUT_FLAG_KEEP_DOLLAR | 4, "%3A%28%29%27%2A%21%23$%26%2B%2C%3B%3D%3F%40"},
      {SPECIALS, HUT_FLAG_KEEP_AMPERSAND | 4, "%3A%28%29%27%2A%21%23%24&%2B%2C%3B%3D%3F%40"},
      {SPECIALS, HUT_FLAG_KEEP_PLUS | 4, "%3A%28%29%27%2A%21%23%24%26+%2C%3B%3D%3F%40"},
      {SPECIALS, HUT_FLAG_KEEP_COMMA | 4, "%3A%28%29%27%2A%21%23%24%26%2B,%3B%3D%3F%40"},
      {SPECIALS, HUT_FLAG_KEEP_SEMICOLON | 4, "%3A%28%29%27%2A%21%23%24%26%2B%2C;%3D%3F%40"},
      {SPECIALS, HUT_FLAG_KEEP_EQUAL | 4, "%3A%28%29%27%2A%21%23%24%26%2B%2C%3B=%3F%40"},
      {SPECIALS, HUT_FLAG_KEEP_QUESTION | 4, "%3A%28%29%27%2A%21%23%24%26%2B%2C%3B%3D?%40"},
      {SPECIALS, HUT_FLAG_KEEP_AT | 4, "%3A%28%29%27%2A%21%23%24%26%2B%2C%3B%3D%3F@"},
      // Bit 256 means nothing.
      {"a b/*", 256, "a%20b/%2a"},
      // The browser's encodeURIComponent() and encodeURI().
      {"a b/!*'();:@&=+$,?#[]", HUT_FLAG_JS_ENCODE_URI_COMPONENT,
       "a%20b%2F!*'()%3B%3A%40%26%3D%2B%24%2C%3F%23%5B%5D"},
      {"a b/!*'();:@&=+$,?#[]", HUT_FLAG_JS_ENCODE_URI, "a%20b/!*'();:@&=+$,?#%5B%5D"},
      // Characters outside every flag.
      {"\"%<>\\^`{|}", 4, "%22%25%3C%3E%5C%5E%60%7B%7C%7D"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.input) + " flags " + std::to_string(c.flags));
    EXPECT_EQ(encode(c.input, c.flags), c.expected);
  }
}

TEST(HTTP_Encode, NullOrEmptyInputWritesNothing) {
  std::string out = "kept";
  EXPECT_FALSE(http_encode_string_i(nullptr, 5, std::back_inserter(out)));
  EXPECT_FALSE(http_encode_string_i("", 5, std::back_inserter(out)));
  EXPECT_EQ(out, "kept");
}

TEST(HTTP_Encode, WritesThroughAnyOutputIterator) {
  char buf[16] = {};
  EXPECT_TRUE(http_encode_string_i("a=b", 4, buf));
  EXPECT_STREQ(buf, "a%3Db");
}

}  // namespace
