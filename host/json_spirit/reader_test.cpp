#include "host/json_spirit/reader.h"

#include <algorithm>
#include <dirent.h>

#include <gtest/gtest.h>

#include "host/json_spirit/writer.h"
#include "testing/shared_data.h"

namespace json_spirit {
namespace {

TEST(Reader, NumbersTakeTheNarrowestFittingForm) {
  Value v;
  ASSERT_TRUE(
      read("[9223372036854775807, 9223372036854775808, -9223372036854775808, "
           "18446744073709551616, 1.0, -0, 1e2]",
           v));
  const Array& a = v.get_array();
  EXPECT_FALSE(a[0].is_uint64());
  EXPECT_EQ(a[0].get_int64(), INT64_MAX);
  EXPECT_TRUE(a[1].is_uint64());
  EXPECT_EQ(a[1].get_uint64(), 9223372036854775808ull);
  EXPECT_EQ(a[2].get_int64(), INT64_MIN);
  EXPECT_EQ(a[3].type(), real_type);  // beyond 64 bits
  EXPECT_EQ(a[4].type(), real_type);
  EXPECT_EQ(a[6].type(), real_type);
}

// Texts on which a conversion that is not correctly rounded misses by a unit
// in the last place; each must read as the nearest double and write back as
// the same digits.
TEST(Reader, NumbersReadAsTheNearestDouble) {
  struct Case {
    const char* text;
    double nearest;
    const char* written;
  };
  const Case cases[] = {
      {"9.8713306567725450e+07", 9.8713306567725450e+07, "9.871330656772545E7"},
      {"-1.3927926388013963e-143", -1.3927926388013963e-143, "-1.3927926388013963E-143"},
      {"2.2250738585072011e-308", 2.2250738585072011e-308, "2.225073858507201E-308"},
      {"1e-400", 0.0, "0E0"},
  };
  for (const Case& c : cases) {
    Value v;
    ASSERT_TRUE(read(c.text, v)) << c.text;
    EXPECT_EQ(v.get_real(), c.nearest) << c.text;
    EXPECT_EQ(JSON_Dump(v, false).str(), c.written) << c.text;
  }
}

TEST(Reader, RepeatedKeysKeepTheLastValue) {
  Value v;
  ASSERT_TRUE(read(R"({"a": 1, "a": 2})", v));
  EXPECT_EQ(v.get_obj().size(), 1u);
  EXPECT_EQ(v.get_obj().at("a").get_int(), 2);
}

// Records of one reply mostly share their names and their order, which the
// reader takes advantage of; whatever varies from record to record must
// still come out in name order with the last of repeated names.
TEST(Reader, ObjectsOfOneShapeAndObjectsThatDiffer) {
  const std::string long_name(80, 'n');
  struct Case {
    std::string text;
    std::string written;
  };
  const Case cases[] = {
      {R"([{"b":1,"a":2},{"b":3,"a":4},{"a":5,"b":6},{"b":7,"a":8,"a":9},{"b":1},{}])",
       R"([{"a":2,"b":1},{"a":4,"b":3},{"a":5,"b":6},{"a":9,"b":7},{"b":1},{}])"},
      {R"({"x":{"b":1,"a":2},"y":{"b":1,"a":2,"c":3},"z":[{"b":1,"a":2},{"c":1,"a":2}]})",
       R"({"x":{"a":2,"b":1},"y":{"a":2,"b":1,"c":3},"z":[{"a":2,"b":1},{"a":2,"c":1}]})"},
      {R"([{"b":1,")" + long_name + R"(":2},{"b":3,")" + long_name + R"(":4,"b":5}])",
       R"([{"b":1,")" + long_name + R"(":2},{"b":5,")" + long_name + R"(":4}])"},
      {R"([{"a":1,"a":2,"a":3},{"a":1,"a":2,"a":3}])", R"([{"a":3},{"a":3}])"},
  };
  for (const Case& c : cases) {
    for (int twice = 0; twice < 2; ++twice) {  // and again, with what the first read left
      Value v;
      ASSERT_TRUE(read(c.text, v)) << c.text;
      EXPECT_EQ(JSON_Dump(v, false).str(), c.written) << c.text;
    }
  }
  // More members than the positions that remember names.
  std::string wide = "{";
  for (int i = 99; i >= 0; --i)
    wide += "\"m" + std::to_string(i) + "\":" + std::to_string(i) + (i ? "," : "}");
  Value v;
  ASSERT_TRUE(read("[" + wide + "," + wide + "]", v));
  for (const Value& o : v.get_array()) {
    EXPECT_EQ(o.get_obj().size(), 100u);
    EXPECT_EQ(o.get_obj().begin()->first, "m0");
    EXPECT_EQ(o.get_obj().at("m57"), Value(57));
  }
}

TEST(Reader, RefusesCleanlyAndLeavesTheValue) {
  // Some stop after a name of its own or inside nested containers, which
  // the read must let go of (the sanitizer builds check).
  const std::string long_name(90, 'q');
  const std::string bad[] = {"",
                             "{",
                             "[1,]",
                             "{\"a\" 1}",
                             "[1] x",
                             "\"\xC3\x28\"",
                             "nul",
                             "[\"\\u12\"]",
                             "{\"" + long_name + "\":",
                             "[{\"" + long_name + "\":[{\"" + long_name + "\":\"x\"},",
                             "{\"a\":{\"b\":[1,2,{\"c\":1e999}]}}"};
  for (const std::string& text : bad) {
    Value v(7);
    std::string why;
    EXPECT_FALSE(read(text, v, &why)) << text;
    EXPECT_FALSE(why.empty()) << text;
    EXPECT_EQ(v, Value(7)) << text;
  }
}

TEST(Reader, NestingLimit) {
  Value v;
  std::string ok(MAX_READ_DEPTH, '[');
  ok += std::string(MAX_READ_DEPTH, ']');
  EXPECT_TRUE(read(ok, v));
  std::string deep(MAX_READ_DEPTH + 1, '[');
  deep += std::string(MAX_READ_DEPTH + 1, ']');
  EXPECT_FALSE(read(deep, v));
  std::string huge(100000, '[');
  EXPECT_FALSE(read(huge, v));
}

TEST(Reader, StringsAreUnescaped) {
  Value v;
  ASSERT_TRUE(read(R"(["a\"b\\c\/d\u00e9\ud834\udd1e\n"])", v));
  EXPECT_EQ(v.get_array()[0].get_str(), "a\"b\\c/d\xC3\xA9\xF0\x9D\x84\x9E\n");
}

// The public JSON parser test suite: y_ must parse, n_ must not, i_ may go
// either way; none may crash.
TEST(Reader, JsonTestSuite) {
  const std::string dir = testing_support::shared_dir() + "/testdata/JSONTestSuite/test_parsing";
  DIR* d = opendir(dir.c_str());
  ASSERT_NE(d, nullptr) << "missing " << dir;
  std::vector<std::string> names;
  while (dirent* e = readdir(d)) {
    std::string name = e->d_name;
    if (name.size() > 5 && name.compare(name.size() - 5, 5, ".json") == 0) names.push_back(name);
  }
  closedir(d);
  std::sort(names.begin(), names.end());
  ASSERT_GT(names.size(), 300u);

  for (const std::string& name : names) {
    std::string text = testing_support::read_file(dir + "/" + name);
    Value v;
    bool accepted = read(text, v);
    if (name[0] == 'y') {
      EXPECT_TRUE(accepted) << name;
    } else if (name[0] == 'n') {
      EXPECT_FALSE(accepted) << name;
    }
    if (accepted) {
      // What was read can be written and read back to the same value.
      Value again;
      EXPECT_TRUE(read(JSON_Dump(v, false).str(), again)) << name;
    }
  }
}

}  // namespace
}  // namespace json_spirit
