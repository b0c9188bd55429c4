#include "json/extract.h"

#include <gtest/gtest.h>

namespace qingcloud {
namespace {

using json_spirit::Array;
using json_spirit::Object;
using json_spirit::Value;

class Extract : public ::testing::Test {
 protected:
  Object obj{{"name", "i-1"},
             {"big", std::int64_t{0x100000007}},
             {"port", 65616},
             {"size", std::uint64_t{20}},
             {"ok", true},
             {"ratio", 0.5},
             {"extra", Object{{"k", 1}}},
             {"list", Array{"a"}}};
};

TEST_F(Extract, ChainedRequiredReads) {
  std::string name;
  int big = 0;
  std::uint64_t size = 0;
  bool ok = false;
  double ratio = 0;
  extract_or_throw(obj)("name", name)("big", big)("size", size)("ok", ok)("ratio", ratio);
  EXPECT_EQ(name, "i-1");
  EXPECT_EQ(big, 7);  // read as 64-bit, narrowed
  EXPECT_EQ(size, 20u);
  EXPECT_TRUE(ok);
  EXPECT_DOUBLE_EQ(ratio, 0.5);
}

TEST_F(Extract, PointerOutputsReferIntoTheObject) {
  const std::string* name = nullptr;
  const Object* extra = nullptr;
  const Array* list = nullptr;
  const Value* any = nullptr;
  extract_or_throw(obj)("name", name)("extra", extra)("list", list)("ok", any);
  EXPECT_EQ(name, &obj.at("name").get_str());
  EXPECT_EQ(extra, &obj.at("extra").get_obj());
  EXPECT_EQ(list, &obj.at("list").get_array());
  EXPECT_EQ(any, &obj.at("ok"));
}

TEST_F(Extract, ThrowingReadStopsAtTheFirstBadMember) {
  std::string name, missing;
  int n = -1;
  try {
    extract_or_throw(obj)("name", name)("absent", missing)("big", n);
    FAIL();
  } catch (const std::exception& e) {
    EXPECT_STREQ(e.what(), "key 'absent' not found");
  }
  EXPECT_EQ(name, "i-1");
  EXPECT_EQ(n, -1);
  EXPECT_THROW(extract_or_throw(obj)("name", n), std::exception);
  secure_string key;
  EXPECT_THROW(extract_or_throw(obj)("ok", key), std::exception);
}

TEST_F(Extract, NonThrowingReadsLeaveOutputsAndCountMisses) {
  std::string name = "keep";
  int port = 80;
  bool ok = false;
  auto ex = extract(obj);
  ex("big", name)("absent", port)("ok", ok);
  EXPECT_EQ(name, "keep");
  EXPECT_EQ(port, 80);
  EXPECT_TRUE(ok);
  EXPECT_EQ(ex.missed(), 2u);
}

TEST_F(Extract, PerReadFlagOverridesTheExtractor) {
  int port = 80;
  std::string name;
  extract_or_throw(obj)("absent", port, FG_NOTHROW)("name", name);
  EXPECT_EQ(port, 80);
  EXPECT_EQ(name, "i-1");
  EXPECT_THROW(extract(obj)("absent", port, FG_THROW), std::exception);
}

TEST_F(Extract, UnsignedShortIsANarrowedRead) {
  unsigned short port = 0;
  EXPECT_TRUE(json_spirit::object_get(obj, "port", port));
  EXPECT_EQ(port, 80);  // 65616 keeps its low 16 bits
  secure_string s;
  extract_or_throw(obj)("name", s);
  EXPECT_EQ(s, "i-1");
}

}  // namespace
}  // namespace qingcloud
