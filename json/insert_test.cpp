#include "json/insert.h"

#include <gtest/gtest.h>

#include "host/json_spirit/writer.h"

namespace qingcloud {
namespace {

using json_spirit::JSON_Dump;
using json_spirit::Object;

TEST(Insert, SetsAndReplacesMembersWithSkips) {
  Object params{{"zone", "old"}};
  std::string empty, name = "web";
  insert(params)("zone", "pek3a")("instance_name", skip_empty(name))(
      "image_name", skip_empty(empty))("cpu", 0)("os_disk_size", std::uint64_t{20})(
      "force", skip_if(true, 1))("cease", skip_if(false, 0));
  EXPECT_STREQ(JSON_Dump(params, false).c_str(),
               R"({"cease":0,"cpu":0,"instance_name":"web","os_disk_size":20,"zone":"pek3a"})");
  EXPECT_TRUE(params.at("os_disk_size").is_uint64());
}

TEST(Array_Maker, BuildsAStringArrayInOrder) {
  Object params;
  insert(params)("instances", Array_Maker({"i-2", "i-1"}))("none", Array_Maker());
  EXPECT_STREQ(JSON_Dump(params, false).c_str(), R"({"instances":["i-2","i-1"],"none":[]})");
  Array_Maker more({"a"});
  more.append({"b", "c"});
  EXPECT_EQ(more.get_array().size(), 3u);
}

TEST(To_New_Array, ReplacesTheValue) {
  json_spirit::Value v("text");
  to_new_array(v).push_back(1);
  EXPECT_EQ(v.get_array().size(), 1u);
}

}  // namespace
}  // namespace qingcloud
