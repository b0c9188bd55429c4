#include "tools/qingcloud_sim/filters.h"

#include <gtest/gtest.h>

#include "tools/qingcloud_sim/params.h"
#include "tools/qingcloud_sim/record_defaults.h"

namespace qingcloud_sim {
namespace {

using boost::json::object;

class Filters : public ::testing::Test {
 protected:
  std::vector<Record> records_ = {
      make_instance(object{{"instance_id", "i-aaaa0001"},
                           {"instance_name", "Web-01"},
                           {"status", "running"},
                           {"controller", "self"},
                           {"host_machine", "h1"},
                           {"image", object{{"image_id", "centos"}}}},
                    "z"),
      make_instance(object{{"instance_id", "i-bbbb0002"},
                           {"instance_name", "db"},
                           {"status", "stopped"},
                           {"controller", "pitrix"},
                           {"host_machine", "h2"}},
                    "z"),
      make_vxnet(object{{"vxnet_id", "vxnet-0"}, {"vxnet_type", 2}}, "z"),
      make_vxnet(object{{"vxnet_id", "vxnet-9"}, {"vxnet_type", 0}}, "z"),
  };

  std::vector<std::string> matching(const std::vector<Filter_Field>& fields, const char* params) {
    const Record_Filter filter(fields, Params::from_json_text(params));
    std::vector<std::string> ids;
    for (const Record& r : records_)
      if (filter(r)) ids.push_back(r.id());
    return ids;
  }
};

TEST_F(Filters, Each_kind_of_condition) {
  using V = std::vector<std::string>;
  const std::vector<Filter_Field> instance = {{"instances", Match::ID},
                                              {"status", Match::TEXT, "status"},
                                              {"controller", Match::TEXT, "controller"},
                                              {"image_id", Match::TEXT, "image.image_id"},
                                              {"search_word", Match::SEARCH, "instance_name"}};
  const std::vector<Filter_Field> vxnet = {{"vxnets", Match::ID},
                                           {"excluded_vxnets", Match::NOT_ID},
                                           {"vxnet_type", Match::INTEGER, "vxnet_type"}};
  EXPECT_EQ(matching(instance, R"({"status":["running","stopped"],"controller":"self"})"),
            V{"i-aaaa0001"});
  EXPECT_EQ(matching(instance, R"({"instances":["i-bbbb0002","i-none"]})"), V{"i-bbbb0002"});
  EXPECT_EQ(matching(instance, R"({"image_id":"centos"})"), V{"i-aaaa0001"});
  EXPECT_EQ(matching(instance, R"({"search_word":"WEB"})"), V{"i-aaaa0001"});
  EXPECT_EQ(matching(instance, R"({"search_word":"bbbb"})"), V{"i-bbbb0002"});  // the id
  EXPECT_EQ(matching(instance, R"({"status":[]})").size(), 4u);  // an empty list: no condition
  EXPECT_EQ(matching(vxnet, R"({"vxnet_type":[0,1],"excluded_vxnets":["vxnet-0","vxnet-1"]})"),
            V{"vxnet-9"});
  EXPECT_EQ(matching(vxnet, R"({"vxnet_type":["2"]})"), V{"vxnet-0"});
  // A record without the member never matches a condition on it.
  EXPECT_EQ(matching(vxnet, R"({"excluded_vxnets":["vxnet-9"],"vxnet_type":[0,1,2]})"),
            V{"vxnet-0"});
}

TEST_F(Filters, Keys_tell_different_conditions_apart) {
  const std::vector<Filter_Field> fields = {{"status", Match::TEXT, "status"},
                                            {"owner", Match::TEXT, "owner"}};
  auto key = [&](const char* params) {
    return Record_Filter(fields, Params::from_json_text(params)).key();
  };
  EXPECT_EQ(key(R"({"status":["a","b"]})"), key(R"({"status":["b","a"],"limit":5})"));
  EXPECT_NE(key(R"({"status":["a"]})"), key(R"({"owner":["a"]})"));
  EXPECT_NE(key(R"({"status":["ab"]})"), key(R"({"status":["a","b"]})"));
}

TEST_F(Filters, Only_indexed_members_can_be_filtered) {
  EXPECT_THROW(
      Record_Filter({{"x", Match::TEXT, "hostname"}}, Params::from_json_text(R"({"x":1})")),
      std::logic_error);
  EXPECT_TRUE(contains_ignoring_case("Web-01", "b-0"));
  EXPECT_FALSE(contains_ignoring_case("Web", "webs"));
  EXPECT_TRUE(contains_ignoring_case("anything", ""));
}

}  // namespace
}  // namespace qingcloud_sim
