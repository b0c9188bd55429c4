#include "tools/qingcloud_sim/params.h"

#include <gtest/gtest.h>

#include "tools/qingcloud_sim/api_error.h"

namespace qingcloud_sim {
namespace {

int ret_code_of(const std::function<void()>& f) {
  try {
    f();
  } catch (const Api_Error& e) {
    return e.ret_code();
  }
  return 0;
}

TEST(Params, Numbered_pairs_become_lists_in_numeric_order) {
  const Params p = Params::from_pairs({{"status.10", "c"},
                                       {"status.2", "b"},
                                       {"status.1", "a"},
                                       {"zone", "pek3a"},
                                       {"limit", "100"},
                                       {"a.b", "dotted"}});
  EXPECT_EQ(p.list("status"), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(p.text("zone"), "pek3a");
  EXPECT_EQ(p.integer("limit"), 100);
  EXPECT_EQ(p.text("a.b"), "dotted");
  EXPECT_EQ(p.list("zone"), std::vector<std::string>{"pek3a"});
  EXPECT_TRUE(p.list("absent").empty());
  EXPECT_EQ(p.text("absent"), std::nullopt);
}

TEST(Params, Readers_accept_both_wire_shapes) {
  const Params p = Params::from_json_text(
      R"({"limit":"20","offset":40,"vxnet_type":[0,1,"2"],"instances":"i-1","verbose":1})");
  EXPECT_EQ(p.integer("limit"), 20);
  EXPECT_EQ(p.integer("offset"), 40);
  EXPECT_EQ(p.integer_list("vxnet_type"), (std::vector<std::int64_t>{0, 1, 2}));
  EXPECT_EQ(p.list("instances"), std::vector<std::string>{"i-1"});
  EXPECT_EQ(p.text("verbose"), "1");
  EXPECT_EQ(p.integer_or("absent", 7), 7);
}

TEST(Params, Unreadable_values_are_parameter_errors) {
  const Params p = Params::from_json_text(
      R"({"limit":"ten","flag":true,"list":[{"x":1}],"big":18446744073709551615,"real":1.5,
          "empty":"","neg":"-3"})");
  EXPECT_EQ(ret_code_of([&] { p.integer("limit"); }), RET_PARAMETER_ERROR);
  EXPECT_EQ(ret_code_of([&] { p.integer("flag"); }), RET_PARAMETER_ERROR);
  EXPECT_EQ(ret_code_of([&] { p.text("flag"); }), RET_PARAMETER_ERROR);
  EXPECT_EQ(ret_code_of([&] { p.list("list"); }), RET_PARAMETER_ERROR);
  EXPECT_EQ(ret_code_of([&] { p.integer("big"); }), RET_PARAMETER_ERROR);
  EXPECT_EQ(ret_code_of([&] { p.integer("real"); }), RET_PARAMETER_ERROR);
  EXPECT_EQ(ret_code_of([&] { p.required_text("empty"); }), RET_PARAMETER_ERROR);
  EXPECT_EQ(ret_code_of([&] { p.required_text("absent"); }), RET_PARAMETER_ERROR);
  EXPECT_EQ(ret_code_of([&] { p.integer_list("limit"); }), RET_PARAMETER_ERROR);
  EXPECT_EQ(p.integer("neg"), -3);
  EXPECT_EQ(p.text("big"), "18446744073709551615");
}

TEST(Params, Malformed_shapes_are_parameter_errors) {
  const char* const texts[] = {"", "[1]", "\"x\"", "{\"a\":", "{\"a\":1}}", "nul"};
  for (const char* text : texts)
    EXPECT_EQ(ret_code_of([&] { Params::from_json_text(text); }), RET_PARAMETER_ERROR) << text;
  const Param_List pairs[] = {
      {{"zone", "a"}, {"zone", "b"}},
      {{"status.1", "a"}, {"status.1", "b"}},
      {{"status", "a"}, {"status.1", "b"}},
  };
  for (const Param_List& p : pairs)
    EXPECT_EQ(ret_code_of([&] { Params::from_pairs(p); }), RET_PARAMETER_ERROR);
}

TEST(Params, Strict_integers) {
  std::int64_t n = 0;
  EXPECT_TRUE(parse_integer("0", &n));
  EXPECT_TRUE(parse_integer("-12", &n));
  EXPECT_EQ(n, -12);
  for (const char* bad : {"", "-", "1e3", " 1", "1 ", "0x10", "+1", "1234567890123456789"})
    EXPECT_FALSE(parse_integer(bad, &n)) << bad;
}

}  // namespace
}  // namespace qingcloud_sim
