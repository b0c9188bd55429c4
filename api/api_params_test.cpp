#include "api/api_params.h"

#include <cstdint>
#include <limits>
#include <type_traits>

#include <gtest/gtest.h>

namespace qingcloud {
namespace {

using json_spirit::Array;
using json_spirit::Object;
using json_spirit::Value;

// The query string names the key id and may carry a request's secrets.
static_assert(std::is_same_v<decltype(API_Params().query_string()), secure_string>,
              "the query string lives in wiped storage");

TEST(API_Params, EmptySetGivesEmptyQuery) {
  EXPECT_EQ(API_Params().query_string(), "");
}

TEST(API_Params, StoresEncodedPairsSortedByEncodedName) {
  API_Params p;
  p.set_parameter("b", "1");
  p.set_parameter("a.2", "2");
  p.set_parameter("a.10", "3");
  p.set_parameter("A", "4");
  p.set_parameter("a b/c", "a b/c");
  p.set_parameter("tilde", "x~y_z-1.0");
  p.set_parameter("utf8", "\xc3\xa9+=");
  EXPECT_EQ(p.query_string(),
            "A=4&a%20b%2Fc=a%20b%2Fc&a.10=3&a.2=2&b=1&tilde=x~y_z-1.0&utf8=%C3%A9%2B%3D");
}

TEST(API_Params, SettingANameAgainReplacesItsValue) {
  API_Params p;
  p.set_parameter("limit", 100);
  p.set_parameter("limit", 20);
  EXPECT_EQ(p.query_string(), "limit=20");
}

TEST(API_Params, SkipsUnusableInput) {
  API_Params p;
  p.set_parameter("zone", "");
  p.set_parameter("zone", static_cast<const char*>(nullptr));
  p.set_parameter("", "x");
  p.set_parameter(nullptr, "x");
  p.set_parameter("", 5);
  p.set_parameter(nullptr, 5ul);
  p.set_parameter("instances", Array());
  p.set_parameter("", Array{"a"});
  p.set_parameter(nullptr, Value("a"));
  for (const Value& v : {Value(true), Value(1.5), Value(), Value(Object{{"k", "v"}}), Value("")})
    p.set_parameter("kind", v);
  EXPECT_EQ(p.query_string(), "");

  // An empty value leaves an earlier one standing.
  p.set_parameter("zone", "pek3");
  p.set_parameter("zone", "");
  EXPECT_EQ(p.query_string(), "zone=pek3");
}

TEST(API_Params, WritesNumbersInFull) {
  API_Params p;
  p.set_parameter("neg", -5);
  p.set_parameter("min", std::numeric_limits<int>::min());
  p.set_parameter("big", 18446744073709551615ul);
  p.set_parameter("zero", 0);
  EXPECT_EQ(p.query_string(), "big=18446744073709551615&min=-2147483648&neg=-5&zero=0");
}

TEST(API_Params, SendsJsonValuesByKind) {
  API_Params p;
  p.set_parameter("int", Value(-5));
  p.set_parameter("uint", Value(std::uint64_t{4294967296}));
  // A signed integer beyond 32 bits keeps its value too.
  p.set_parameter("wide", Value(std::int64_t{-5000000000}));
  p.set_parameter("str", Value("a b"));
  p.set_parameter("secret", Value(secure_string("p/w")));
  p.set_parameter("instances", Value(Array{"i-1", "i-2"}));
  EXPECT_EQ(p.query_string(),
            "instances.1=i-1&instances.2=i-2&int=-5&secret=p%2Fw&str=a%20b&uint=4294967296&"
            "wide=-5000000000");
}

TEST(API_Params, ArraysNumberTheirElementsAsText) {
  API_Params p;
  Array many;
  for (int i = 1; i <= 10; ++i)
    many.push_back("i-" + std::to_string(i));
  p.set_parameter("instances", many);
  EXPECT_EQ(p.query_string(),
            "instances.1=i-1&instances.10=i-10&instances.2=i-2&instances.3=i-3&instances.4=i-4&"
            "instances.5=i-5&instances.6=i-6&instances.7=i-7&instances.8=i-8&instances.9=i-9");

  // Nested arrays continue the numbering; skipped kinds keep their index.
  API_Params nested;
  nested.set_parameter("n", Array{"a", Array{"b", "c"}, true, "d"});
  EXPECT_EQ(nested.query_string(), "n.1=a&n.2.1=b&n.2.2=c&n.4=d");
}

}  // namespace
}  // namespace qingcloud
