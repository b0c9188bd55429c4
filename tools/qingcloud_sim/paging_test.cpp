#include "tools/qingcloud_sim/paging.h"

#include <gtest/gtest.h>

#include "tools/qingcloud_sim/api_error.h"
#include "tools/qingcloud_sim/params.h"

namespace qingcloud_sim {
namespace {

TEST(Paging, Offsets_limits_and_the_end_of_the_matches) {
  struct Case {
    const char* params;
    std::size_t total;
    std::size_t begin, end;
  };
  const Case cases[] = {
      {"{}", 250, 0, 20},  // defaults: offset 0, limit 20
      {R"({"limit":100})", 250, 0, 100},
      {R"({"offset":100,"limit":100})", 250, 100, 200},
      {R"({"offset":200,"limit":100})", 250, 200, 250},  // a short last page
      {R"({"offset":250,"limit":100})", 250, 250, 250},  // at the end: empty
      {R"({"offset":900,"limit":100})", 250, 250, 250},  // past the end: empty
      {R"({"limit":1000})", 250, 0, 100},                // capped without complaint
      {R"({"limit":0})", 250, 0, 20},                    // 0 counts as absent
      {R"({"limit":"7","offset":"3"})", 250, 3, 10},     // GET sends text
      {"{}", 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.params);
    const Page page = Page::of(Params::from_json_text(c.params));
    EXPECT_EQ(page.begin(c.total), c.begin);
    EXPECT_EQ(page.end(c.total), c.end);
  }
}

TEST(Paging, Negative_or_unreadable_values_are_parameter_errors) {
  for (const char* text : {R"({"offset":-1})", R"({"limit":-5})", R"({"limit":"many"})"}) {
    try {
      Page::of(Params::from_json_text(text));
      ADD_FAILURE() << text;
    } catch (const Api_Error& e) {
      EXPECT_EQ(e.ret_code(), RET_PARAMETER_ERROR) << text;
    }
  }
}

}  // namespace
}  // namespace qingcloud_sim
