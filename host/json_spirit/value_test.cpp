#include "host/json_spirit/value.h"

#include <limits>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

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

// Names short enough to be kept for the process and names too long to be,
// which every object holds as strings of its own.
std::vector<std::string> name_pool() {
  std::vector<std::string> names = {"", "a", "A", "b", "zone", "zone_id", "instance_set", "z"};
  for (int i = 0; i < 6; ++i)
    names.push_back(std::string(70 + i, static_cast<char>('k' + i)));
  return names;
}

std::map<std::string, int> as_map(const Object& o) {
  std::map<std::string, int> m;
  for (const auto& [k, v] : o)
    m[k] = v.get_int();
  return m;
}

std::string names_of(const Object& o) {
  std::string names;
  for (const auto& member : o)
    names += member.first.substr(0, 4) + ",";
  return names;
}

// Every way of changing an object, at random, against std::map as the model:
// after each step the members must be the model's, in its order.
TEST(Object, BehavesAsAMapFromNamesToValues) {
  const std::vector<std::string> names = name_pool();
  std::mt19937 rng(7);
  Object o;
  std::map<std::string, int> model;
  for (int step = 0; step < 4000; ++step) {
    const std::string& key = names[rng() % names.size()];
    const int n = static_cast<int>(rng() % 1000);
    switch (rng() % 7) {
      case 0:
        o[key] = n;
        model[key] = n;
        break;
      case 1:
        EXPECT_EQ(o.insert_or_assign(key, n).second, model.insert_or_assign(key, n).second);
        break;
      case 2:
        EXPECT_EQ(o.emplace(key, n).second, model.emplace(key, n).second);
        break;
      case 3:
        EXPECT_EQ(o.insert(Member(key, n)).second, model.insert({key, n}).second);
        break;
      case 4:
        EXPECT_EQ(o.erase(key), model.erase(key));
        break;
      case 5:
        if (!o.empty()) {
          auto it = o.begin() + static_cast<std::ptrdiff_t>(rng() % o.size());
          const std::string erased = it->first;
          auto next = o.erase(it);
          auto model_next = model.erase(model.find(erased));
          EXPECT_EQ(next == o.end() ? "end" : next->first,
                    model_next == model.end() ? "end" : model_next->first);
        }
        break;
      case 6: {
        Object copy(o);
        o = Object();
        o = std::move(copy);
        break;
      }
    }
    ASSERT_EQ(as_map(o), model) << "step " << step;
    EXPECT_EQ(o.count(key), model.count(key));
    EXPECT_EQ(o.find(key) == o.end(), model.find(key) == model.end());
  }
}

TEST(Object, CopiesAreIndependentAndCompareByContent) {
  const std::string long_name(100, 'x');
  Object o{{long_name, 1}, {"b", Object{{"c", "d"}}}, {"a", Array{1, "two"}}};
  Object copy = o;
  EXPECT_EQ(copy, o);
  copy[long_name] = 2;
  copy.erase("b");
  EXPECT_EQ(o.at(long_name), Value(1));
  EXPECT_EQ(o.at("b").get_obj().at("c"), Value("d"));
  EXPECT_NE(copy, o);
  // The same members given in another order make an equal object.
  EXPECT_EQ((Object{{"b", Object{{"c", "d"}}}, {"a", Array{1, "two"}}, {long_name, 1}}), o);

  Object moved = std::move(o);
  EXPECT_TRUE(o.empty());  // NOLINT(bugprone-use-after-move): a moved-from object is empty
  EXPECT_EQ(moved.size(), 3u);
  EXPECT_THROW(moved.at("missing"), std::out_of_range);
  // std::map keeps the first of repeated names given to its constructor.
  EXPECT_EQ((Object{{"k", 1}, {"k", 2}}).at("k"), Value(1));
}

// A value given a part of itself must not lose it on the way.
TEST(Value, TakesOverAPartOfItself) {
  Value copied(Array{Object{{"inner", Array{"x"}}}, 2});
  copied = copied.get_array()[0];
  EXPECT_EQ(copied, (Object{{"inner", Array{"x"}}}));
  Value moved(Object{{"m", Array{"y", 3}}});
  moved = std::move(moved.get_obj()["m"]);
  EXPECT_EQ(moved, (Array{"y", 3}));
}

// Names are kept for the whole process from any thread; names beyond the
// table's room get strings of their own and work the same.
TEST(Object, NamesMadeOnSeveralThreadsAtOnce) {
  auto build = [](int thread) {
    Object o;
    for (int i = 0; i < 3000; ++i)
      o["name-" + std::to_string(i % 2500) + "-" + std::to_string(i % 3 == 0 ? 0 : thread)] = i;
    return o;
  };
  std::vector<Object> built(4);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&built, &build, t] { built[t] = build(t + 1); });
  for (std::thread& t : threads)
    t.join();
  for (int t = 0; t < 4; ++t) {
    EXPECT_EQ(built[t], build(t + 1));
    EXPECT_EQ(built[t].at("name-3-0"), Value(3));
    EXPECT_EQ(names_of(built[t]).substr(0, 10), "name,name,");
  }
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
