#include "host/json_spirit/json_pointer.h"

#include <gtest/gtest.h>

#include "host/json_spirit/reader.h"

namespace json_spirit {
namespace {

// The example document of RFC 6901, section 5.
const char* const RFC_DOCUMENT = R"({
  "foo": ["bar", "baz"], "": 0, "a/b": 1, "c%d": 2, "e^f": 3,
  "g|h": 4, "i\\j": 5, "k\"l": 6, " ": 7, "m~n": 8 })";

class JSON_Pointer_Rfc : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(read(RFC_DOCUMENT, doc)); }

  const Value* at(const std::string& text, bool fragment) {
    JSON_Pointer p;
    EXPECT_TRUE(p.path(text, fragment)) << text;
    return p.resolve(doc);
  }

  Value doc;
};

TEST_F(JSON_Pointer_Rfc, StringRepresentation) {
  EXPECT_EQ(at("", false), &doc);
  EXPECT_EQ(*at("/foo", false), (Array{"bar", "baz"}));
  EXPECT_EQ(*at("/foo/0", false), Value("bar"));
  const std::pair<const char*, int> members[] = {{"/", 0},     {"/a~1b", 1}, {"/c%d", 2},
                                                 {"/e^f", 3},  {"/g|h", 4},  {"/i\\j", 5},
                                                 {"/k\"l", 6}, {"/ ", 7},    {"/m~0n", 8}};
  for (const auto& [text, n] : members) {
    const Value* v = at(text, false);
    ASSERT_NE(v, nullptr) << text;
    EXPECT_EQ(v->get_int(), n) << text;
  }
}

TEST_F(JSON_Pointer_Rfc, UriFragmentRepresentation) {
  EXPECT_EQ(at("#", true), &doc);
  EXPECT_EQ(*at("#/foo/0", true), Value("bar"));
  const std::pair<const char*, int> members[] = {{"#/", 0},      {"#/a~1b", 1},  {"#/c%25d", 2},
                                                 {"#/e%5Ef", 3}, {"#/g%7Ch", 4}, {"#/i%5Cj", 5},
                                                 {"#/k%22l", 6}, {"#/%20", 7},   {"#/m~0n", 8}};
  for (const auto& [text, n] : members) {
    const Value* v = at(text, true);
    ASSERT_NE(v, nullptr) << text;
    EXPECT_EQ(v->get_int(), n) << text;
  }
}

TEST_F(JSON_Pointer_Rfc, UnresolvedAndInvalidPointers) {
  for (const char* text : {"/foo/2", "/foo/-", "/foo/01", "/foo/bar", "/missing", "/ /x",
                           "/foo/18446744073709551616"}) {
    EXPECT_EQ(at(text, false), nullptr) << text;
  }
  JSON_Pointer p;
  ASSERT_TRUE(p.path("/foo", false));
  EXPECT_FALSE(p.path("foo", false));    // must start with "/"
  EXPECT_FALSE(p.path("/a~2b", false));  // only ~0 and ~1 are escapes
  EXPECT_FALSE(p.path("/a~", false));
  EXPECT_FALSE(p.path("#/a%2", true));
  EXPECT_EQ(p.path(), "/foo");  // a refused text leaves the pointer as it was
}

// Resolving straight from the text gives what a pointer set from the text
// gives, for every text, a refused one included.
TEST_F(JSON_Pointer_Rfc, ResolvingFromTheTextAsAPointerWould) {
  for (const char* text :
       {"", "/", "/foo", "/foo/0", "/foo/1", "/foo/2", "/foo/-", "/foo/01", "/a~1b", "/m~0n",
        "/m~n", "/a~2b", "/a~", "foo", "//", "/ ", "/ /x", "/foo/0/x", "/missing/~2"}) {
    JSON_Pointer p;
    const Value* expected = p.path(text, false) ? p.resolve(doc) : nullptr;
    EXPECT_EQ(JSON_Pointer::resolve(doc, text), expected) << text;
  }
  std::string s;
  EXPECT_TRUE(JSON_Pointer::get(doc, "/foo/1", s));
  EXPECT_EQ(s, "baz");
  int n = -1;
  EXPECT_FALSE(JSON_Pointer::get(doc, "/foo/1", n));
  EXPECT_EQ(n, -1);
}

TEST_F(JSON_Pointer_Rfc, TypedGetsCheckTheKind) {
  JSON_Pointer p;
  ASSERT_TRUE(p.path("/foo/1", false));
  std::string s;
  EXPECT_TRUE(p.get(doc, s));
  EXPECT_EQ(s, "baz");
  int i = -1;
  EXPECT_FALSE(p.get(doc, i));
  EXPECT_EQ(i, -1);
  const Array* a = nullptr;
  EXPECT_FALSE(p.get(doc, a));
  ASSERT_TRUE(p.path("/foo", false));
  EXPECT_TRUE(p.get(doc, a));
  EXPECT_EQ(a->size(), 2u);
  std::uint64_t u = 0;
  ASSERT_TRUE(p.path("/m~0n", false));
  EXPECT_TRUE(p.get(doc, u));
  EXPECT_EQ(u, 8u);
}

}  // namespace
}  // namespace json_spirit
