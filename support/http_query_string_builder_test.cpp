#include "support/http_query_string_builder.h"

#include <iterator>
#include <string>

#include <gtest/gtest.h>

namespace {

using Builder = HTTP_Query_String_Builder_T<std::back_insert_iterator<std::string>>;

TEST(HTTP_Query_String_Builder, JoinsPairsWithAmpersands) {
  std::string q;
  Builder b(std::back_inserter(q), false);
  b("zone", "pek3", false, false)("limit", "20", false, false);
  EXPECT_EQ(q, "zone=pek3&limit=20");
}

TEST(HTTP_Query_String_Builder, AppendsTheSignatureToAnExistingQuery) {
  std::string q = "action=DescribeZones";
  Builder(std::back_inserter(q), true)("signature", "abc", false, false, nullptr);
  EXPECT_EQ(q, "action=DescribeZones&signature=abc");
}

struct Case {
  const char* key;
  const char* val;
  bool encode_key;
  bool encode_val;
  const char* prefix;
  const char* expected;
};

TEST(HTTP_Query_String_Builder, WritesOnePairByItsArguments) {
  const Case cases[] = {
      {nullptr, "v", false, false, nullptr, ""},
      {"", "v", false, false, nullptr, ""},
      {"k", nullptr, false, false, nullptr, "k"},  // no "=" without a value
      {"k", "", true, true, nullptr, "k="},
      {"k", "a b/c", false, false, nullptr, "k=a b/c"},
      // Encoding uses slash and space flags with lower-case hex.
      {"k", "a b/c=", false, true, nullptr, "k=a+b%2fc%3d"},
      {"a key", "v", true, false, nullptr, "a+key=v"},
      {"key", "v", true, false, "my prefix.", "my+prefix.key=v"},
      {"key", "v", false, false, "raw prefix/", "raw prefix/key=v"},
      {"key", "v", false, false, "", "key=v"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    std::string q;
    Builder(std::back_inserter(q), false)(c.key, c.val, c.encode_key, c.encode_val, c.prefix);
    EXPECT_EQ(q, c.expected);
  }
}

TEST(HTTP_Query_String_Builder, SkippedPairsLeaveNoSeparator) {
  std::string q;
  Builder b(std::back_inserter(q), false);
  b(nullptr, "x", false, false)("a", "1", false, false)("", "y", false, false)("b", "2", true,
                                                                               true);
  EXPECT_EQ(q, "a=1&b=2");
}

TEST(HTTP_Query_String_Builder, KeepsWritingThroughAPlainPointer) {
  char buf[32] = {};
  HTTP_Query_String_Builder_T<char*> b(buf, false);
  b("a b", "c d", true, true)("e", "f", false, false);
  EXPECT_STREQ(buf, "a+b=c+d&e=f");
}

}  // namespace
