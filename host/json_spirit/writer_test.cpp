#include "host/json_spirit/writer.h"

#include <gtest/gtest.h>

#include "host/json_spirit/reader.h"

namespace json_spirit {
namespace {

TEST(JSON_Dump, CompactTextWithKeysInAscendingOrder) {
  Object o;
  o["zone"] = "pek3a";
  o["action"] = "DescribeZones";
  o["status"] = Array{"active"};
  o["limit"] = 100;
  o["big"] = std::uint64_t{18446744073709551615ull};
  o["neg"] = -5;
  o["ok"] = true;
  o["nothing"] = Value();
  EXPECT_STREQ(JSON_Dump(o, false).c_str(),
               R"({"action":"DescribeZones","big":18446744073709551615,"limit":100,)"
               R"("neg":-5,"nothing":null,"ok":true,"status":["active"],"zone":"pek3a"})");
}

TEST(JSON_Dump, EscapesStringsAndWritesSecureOnesPlain) {
  Object o;
  o["k"] = secure_string("se\"cret");
  o["t"] = "line\nbreak\x01";
  std::string text = JSON_Dump(o, false).str();
  EXPECT_EQ(text, "{\"k\":\"se\\\"cret\",\"t\":\"line\\nbreak\\u0001\"}");
}

TEST(JSON_Dump, RealsReadBackEqual) {
  Array a{0.1, -2.5e-300, 1e300};
  Value back;
  ASSERT_TRUE(read(JSON_Dump(a, false).str(), back));
  ASSERT_EQ(back.get_array().size(), 3u);
  for (std::size_t i = 0; i < a.size(); ++i) {
    EXPECT_DOUBLE_EQ(back.get_array()[i].get_real(), a[i].get_real());
  }
}

// Texts far larger than the writer's buffer, strings longer than it, and
// escapes anywhere in them, written compact and indented, read back equal.
TEST(JSON_Dump, LargeTextsReadBackEqual) {
  Array strings;
  for (std::size_t n : {0u, 1u, 255u, 256u, 16383u, 16384u, 16385u, 40000u}) {
    strings.push_back(std::string(n, 'x'));
    std::string escaped(n, 'y');
    for (std::size_t i = 0; i < n; i += 997)
      escaped[i] = i % 2 ? '"' : '\n';
    strings.push_back(escaped);
  }
  Object records;
  for (int i = 0; i < 3000; ++i)
    records["i-" + std::to_string(i)] =
        Object{{"status", "running"}, {"size", i}, {"ok", i % 2 == 0}};
  const Value doc(Object{{"strings", strings}, {"records", records}, {"real", 0.1}});
  for (bool pretty : {false, true}) {
    const std::string text = JSON_Dump(doc, pretty).str();
    Value back;
    ASSERT_TRUE(read(text, back)) << "pretty " << pretty;
    EXPECT_EQ(back, doc) << "pretty " << pretty;
  }
  EXPECT_EQ(JSON_Dump(Array{std::string(20000, 'z')}, false).str(),
            "[\"" + std::string(20000, 'z') + "\"]");
}

// An answer of megabytes is made in one block of about its length, not
// grown by doubling (which copies it again and again and can hold twice its
// size); reals and escapes may make the block a little longer.
TEST(JSON_Dump, TextIsMadeInOneBlockOfItsLength) {
  Array nodes;
  for (int i = 0; i < 20000; ++i) {
    nodes.push_back(Object{{"type", "VirtualMachine"},
                           {"moid", "i-" + std::to_string(i)},
                           {"size", std::uint64_t{21474836480}},
                           {"has_children", i % 2 == 0},
                           {"tags", Array{"a", Value(), -i}},
                           {"extra", i % 100 ? Value(Object()) : Value(Object{{"k\n\"", 0.5}})}});
  }
  const Value doc(Object{{"id", 1}, {"result", nodes}});
  for (bool pretty : {false, true}) {
    const JSON_Dump dump(doc, pretty);
    const std::string& text = dump.str();
    EXPECT_LE(text.capacity(), text.size() + text.size() / 100) << "pretty " << pretty;
  }
  // A dump that goes hands that block over.
  JSON_Dump dump(doc, false);
  const char* block = dump.c_str();
  const std::string taken = std::move(dump).str();
  EXPECT_EQ(taken.data(), block);
}

TEST(JSON_Dump, PrettyIndentsByTwo) {
  Object o{{"a", Array{1, 2}}, {"b", Object()}, {"c", Array()}};
  EXPECT_EQ(JSON_Dump(o, true).str(),
            "{\n  \"a\": [\n    1,\n    2\n  ],\n  \"b\": {},\n  \"c\": []\n}");
}

}  // namespace
}  // namespace json_spirit
