#include "api/common_client.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "testing/client_fixture.h"

namespace qingcloud {
namespace {

using json_spirit::Array;
using json_spirit::Object;
using json_spirit::Value;
using ::testing::ElementsAre;
using testing_support::page_reply;
using testing_support::Scripted_Reply;
using testing_support::sent_params;

class Login : public testing_support::Client_Test {};

TEST_F(Login, LoadsTheZonesInAscendingOrderAndLeavesNoneCurrent) {
  server.script(Scripted_Reply::json(
      page_reply(3, "zone_set",
                 Array{Object{{"zone_id", "sh1a"}}, Object{{"zone_id", "pek3a"}},
                       Object{{"zone_id", "gd2"}, {"status", "active"}}})));
  ASSERT_TRUE(client.login("127.0.0.1", server.port(), false, secure_string("QYKEY"),
                           secure_string("secret")));
  EXPECT_THAT(client.zones(), ElementsAre("gd2", "pek3a", "sh1a"));
  EXPECT_FALSE(client.zone());
  EXPECT_EQ(client.err_code(), 0);

  auto sent = requests();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].method, "GET");
  EXPECT_EQ(sent[0].path, "/iaas/");
  Object params = sent_params(sent[0]);
  EXPECT_EQ(params["action"], Value("DescribeZones"));
  EXPECT_EQ(params["status.1"], Value("active"));
  EXPECT_EQ(params["offset"], Value("0"));
  EXPECT_EQ(params["limit"], Value("100"));
  EXPECT_EQ(params["version"], Value("1"));
  EXPECT_EQ(params["signature_version"], Value("1"));
  EXPECT_EQ(params["signature_method"], Value("HmacSHA256"));
  EXPECT_EQ(params["access_key_id"], Value("QYKEY"));
  EXPECT_EQ(params.count("zone"), 0u);  // zones are asked for without one
}

TEST_F(Login, BackOfficeClientsPostTheirParameters) {
  testing_support::Test_Client boss(HTTP_METHOD_POST, "/boss2/");
  server.script(
      Scripted_Reply::json(page_reply(1, "zone_set", Array{Object{{"zone_id", "pek3a"}}})));
  ASSERT_TRUE(boss.login("127.0.0.1", server.port(), false, secure_string("QYBOSS"),
                         secure_string("secret")));
  auto sent = requests();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].method, "POST");
  EXPECT_EQ(sent[0].path, "/boss2/");
  Object params = sent_params(sent[0]);
  EXPECT_EQ(params["status"], Value(Array{"active"}));
  EXPECT_EQ(params["limit"], Value(100));
}

TEST_F(Login, FailsWithoutZonesAlthoughTheCallSucceeded) {
  server.script(Scripted_Reply::json(page_reply(0, "zone_set", Array{})));
  EXPECT_FALSE(client.login("127.0.0.1", server.port(), false, secure_string("QYKEY"),
                            secure_string("secret")));
  EXPECT_EQ(client.err_code(), 0);
  EXPECT_TRUE(client.zones().empty());
  EXPECT_EQ(log.messages(), std::vector<std::string>{"No active zone found.\n"});
}

TEST_F(Login, ClearsTheCurrentZone) {
  log_in({"pek3a"});
  ASSERT_TRUE(client.switch_zone("pek3a"));
  server.script(
      Scripted_Reply::json(page_reply(1, "zone_set", Array{Object{{"zone_id", "pek3a"}}})));
  ASSERT_TRUE(client.login("127.0.0.1", server.port(), false, secure_string("QYKEY"),
                           secure_string("secret")));
  EXPECT_FALSE(client.zone());
}

TEST_F(Login, FailsOnAZoneWithoutId) {
  server.script(Scripted_Reply::json(
      page_reply(2, "zone_set", Array{Object{{"zone_id", "pek3a"}}, Object{{"name", "x"}}})));
  EXPECT_FALSE(client.login("127.0.0.1", server.port(), false, secure_string("QYKEY"),
                            secure_string("secret")));
  EXPECT_TRUE(log.has("Invalid zone format, exception: key 'zone_id' not found.\n"));
  EXPECT_THAT(client.zones(), ElementsAre("pek3a"));  // read before the failure
}

TEST_F(Login, ReportsThePlatformsRefusal) {
  server.script(Scripted_Reply::json(
      R"({"ret_code": 1200, "message": "AuthFailure, signature not matched"})"));
  EXPECT_FALSE(client.login("127.0.0.1", server.port(), false, secure_string("QYKEY"),
                            secure_string("wrong")));
  EXPECT_EQ(client.err_code(), 1200);
  EXPECT_EQ(client.api_err_msg(), "AuthFailure, signature not matched");
}

TEST(Login_Unreachable, IsANetworkError) {
  unsigned short closed_port;
  {
    testing_support::Scripted_HTTP_Server gone;
    closed_port = gone.port();
  }
  testing_support::Log_Capture log;
  testing_support::Test_Client client(HTTP_METHOD_GET, "/iaas/");
  EXPECT_FALSE(client.login("127.0.0.1", closed_port, false, secure_string("QYKEY"),
                            secure_string("secret")));
  EXPECT_EQ(client.err_code(), -2);
}

class Zones : public testing_support::Client_Test {};

TEST_F(Zones, SwitchingToAnUnknownZoneKeepsTheCurrentOne) {
  log_in({"pek3a", "sh1a"});
  ASSERT_TRUE(client.switch_zone("sh1a"));
  EXPECT_EQ(*client.zone(), "sh1a");
  EXPECT_FALSE(client.switch_zone("gd2"));
  EXPECT_FALSE(client.switch_zone(""));
  EXPECT_EQ(*client.zone(), "sh1a");
  // The current zone is an element of the client's own set.
  EXPECT_EQ(&*client.zone(), &*client.zones().find("sh1a"));
}

TEST_F(Zones, ZoneIsInsertedOnlyWhenMissing) {
  log_in({"pek3a"});
  Object pinned{{"zone", "sh1a"}};
  Object open;
  EXPECT_FALSE(client.insert_zone_if_not_exists(open));
  EXPECT_TRUE(log.has_unexpected("zone_ is NULL"));
  EXPECT_TRUE(client.insert_zone_if_not_exists(pinned));  // no current zone needed
  EXPECT_EQ(pinned["zone"], Value("sh1a"));

  ASSERT_TRUE(client.switch_zone("pek3a"));
  EXPECT_TRUE(client.insert_zone_if_not_exists(open));
  EXPECT_EQ(open["zone"], Value("pek3a"));
}

TEST(Build_Params, SetsTheCommonParametersAndKeepsACallersAction) {
  Object params{{"action", "DescribeJobs"}, {"version", 7}};
  testing_support::Test_Client::build_params(params, "");
  EXPECT_EQ(params, (Object{{"action", "DescribeJobs"},
                            {"version", 1},
                            {"signature_version", 1},
                            {"signature_method", "HmacSHA256"}}));
  testing_support::Test_Client::build_params(params, nullptr);
  EXPECT_EQ(params["action"], Value("DescribeJobs"));
  testing_support::Test_Client::build_params(params, "DescribeZones");
  EXPECT_EQ(params["action"], Value("DescribeZones"));
}

}  // namespace
}  // namespace qingcloud
