#include "host/json_spirit/value.h"

#include <limits>

#include <gtest/gtest.h>

#include "host/json_spirit/object_get.h"

namespace json_spirit {
namespace {

TEST(Value, KindsAndTypeNumbers) {
  EXPECT_EQ(Value(Object()).type(), 0);
  EXPECT_EQ(Value(Array()).type(), 1);
  EXPECT_EQ(Value("s").type(), 2);
  EXPECT_EQ(Value(secure_string("k")).type(), 3);
  EXPECT_EQ(Value(true).type(), 4);
  EXPECT_EQ(Value(5).type(), 5);
  EXPECT_EQ(Value(std::uint64_t{5}).type(), 5);
  EXPECT_EQ(Value(1.5).type(), 6);
  EXPECT_EQ(Value().type(), 7);
  EXPECT_EQ(Value(nullptr).type(), 7);
}

TEST(Value, IntegerFormsShareTheKindButNotTheFlag) {
  EXPECT_FALSE(Value(std::int64_t{-1}).is_uint64());
  EXPECT_FALSE(Value(7u).is_uint64());  // narrower unsigned numbers are held signed
  Value big(std::numeric_limits<std::uint64_t>::max());
  EXPECT_TRUE(big.is_uint64());
  EXPECT_EQ(big.get_uint64(), std::numeric_limits<std::uint64_t>::max());
  EXPECT_EQ(Value(std::uint64_t{5}), Value(5));
  EXPECT_NE(Value(-1), Value(std::numeric_limits<std::uint64_t>::max()));
}

TEST(Value, GettersThrowOnAnotherKind) {
  Value s("text");
  EXPECT_EQ(s.get_str(), "text");
  EXPECT_THROW(s.get_int(), std::exception);
  EXPECT_THROW(s.get_obj(), Type_Error);
  EXPECT_THROW(s.get_secure_str(), Type_Error);
  EXPECT_THROW(Value(secure_string("k")).get_str(), Type_Error);
  EXPECT_THROW(Value(1.5).get_int64(), Type_Error);
  EXPECT_THROW(Value(1).get_bool(), Type_Error);
  EXPECT_THROW(Value().get_array(), Type_Error);
  EXPECT_DOUBLE_EQ(Value(3).get_real(), 3.0);  // integers widen to real
  try {
    s.get_obj();
  } catch (const Type_Error& e) {
    EXPECT_STREQ(e.what(), "value is string, not object");
  }
}

// Neither integer getter changes the number it returns.
TEST(Value, IntegerGettersRefuseNumbersTheirTypeCannotHold) {
  EXPECT_THROW(Value(-1).get_uint64(), Type_Error);
  EXPECT_THROW(Value(std::uint64_t{1} << 63).get_int64(), Type_Error);
  EXPECT_EQ(Value(std::int64_t{INT64_MAX}).get_uint64(), std::uint64_t{INT64_MAX});
  EXPECT_EQ(Value(std::uint64_t{INT64_MAX}).get_int64(), INT64_MAX);
  EXPECT_FALSE(Value(-1).fits_uint64());
  EXPECT_TRUE(Value(0).fits_uint64());
  EXPECT_FALSE(Value("1").fits_int64());
}

TEST(Value, IntNarrowsTheSixtyFourBitValue) {
  Value v(std::int64_t{0x100000005});
  EXPECT_EQ(v.get_int64(), 0x100000005);
  EXPECT_EQ(v.get_int(), 5);
}

TEST(Value, ToNewObjectReplacesTheValue) {
  Value v(42);
  Object& o = to_new_object(v);
  o["a"] = 1;
  EXPECT_EQ(v.get_obj().size(), 1u);
}

TEST(Object, MembersIterateInAscendingKeyOrderOnePerKey) {
  Object o;
  o["b"] = 1;
  o["a"] = 2;
  o["A"] = 3;
  o["b"] = 4;
  std::string keys;
  for (const auto& [k, v] : o)
    keys += k;
  EXPECT_EQ(keys, "Aab");
  EXPECT_EQ(o["b"].get_int(), 4);
}

class Object_Get : public ::testing::Test {
 protected:
  Object obj{{"s", "text"},  {"i", 42},     {"u", std::uint64_t{1} << 63},
             {"d", 2.5},     {"b", true},   {"o", Object{{"x", 1}}},
             {"n", Value()}, {"a", Array{}}};
};

TEST_F(Object_Get, NonThrowingGettersLeaveOutputOnMismatch) {
  std::string s = "unchanged";
  EXPECT_FALSE(object_get(obj, "i", s));
  EXPECT_FALSE(object_get(obj, "missing", s));
  EXPECT_EQ(s, "unchanged");
  EXPECT_TRUE(object_get(obj, "s", s));
  EXPECT_EQ(s, "text");

  int i = -1;
  EXPECT_FALSE(object_get(obj, "d", i));
  EXPECT_EQ(i, -1);
  EXPECT_TRUE(object_get(obj, "i", i));
  EXPECT_EQ(i, 42);

  std::uint64_t u = 0;
  EXPECT_TRUE(object_get(obj, "u", u));
  EXPECT_EQ(u, std::uint64_t{1} << 63);
  EXPECT_FALSE(object_get(Object{{"n", -1}}, "n", u)) << "a negative number is not unsigned";
  EXPECT_EQ(u, std::uint64_t{1} << 63);
  std::int64_t big = 7;
  EXPECT_FALSE(object_get(obj, "u", big)) << "2^63 is beyond the signed range";
  EXPECT_EQ(big, 7);

  double d = 0;
  EXPECT_TRUE(object_get(obj, "d", d));
  EXPECT_TRUE(object_get(obj, "i", d));
  EXPECT_DOUBLE_EQ(d, 42.0);

  bool b = false;
  EXPECT_FALSE(object_get(obj, "i", b));
  EXPECT_TRUE(object_get(obj, "b", b));
  EXPECT_TRUE(b);
}

TEST_F(Object_Get, PointerGettersGiveNullOnMismatch) {
  EXPECT_EQ(*object_get_str(obj, "s"), "text");
  EXPECT_EQ(object_get_str(obj, "i"), nullptr);
  EXPECT_NE(object_get_object(obj, "o"), nullptr);
  EXPECT_EQ(object_get_object(obj, "a"), nullptr);
  EXPECT_TRUE(object_get_value(obj, "n")->is_null());
  EXPECT_EQ(object_get_value(obj, "missing"), nullptr);
}

TEST_F(Object_Get, ThrowingGettersNameTheKey) {
  EXPECT_EQ(object_get_str_or_throw(obj, "s"), "text");
  EXPECT_EQ(object_get_int64_or_throw(obj, "i"), 42);
  EXPECT_TRUE(object_get_bool_or_throw(obj, "b"));
  EXPECT_DOUBLE_EQ(object_get_real_or_throw(obj, "d"), 2.5);
  EXPECT_EQ(object_get_object_or_throw(obj, "o").size(), 1u);
  try {
    object_get_str_or_throw(obj, "zone_id");
    FAIL();
  } catch (const Key_Error& e) {
    EXPECT_STREQ(e.what(), "key 'zone_id' not found");
  }
  try {
    object_get_uint64_or_throw(obj, "s");
    FAIL();
  } catch (const Type_Error& e) {
    EXPECT_STREQ(e.what(), "key 's': value is string, not integer");
  }
}

}  // namespace
}  // namespace json_spirit
