// The client against the QingCloud API simulator, over the wire.
#include <memory>

#include <boost/json/parse.hpp>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "api/common_client.h"
#include "testing/client_fixture.h"
#include "testing/fake_sleep.h"
#include "testing/simulator.h"
#include "tools/qingcloud_sim/generated_inventory.h"

namespace qingcloud {
namespace {

using json_spirit::Array;
using json_spirit::Object;
using json_spirit::Value;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using testing_support::Simulator;
using testing_support::take_sleeps;
using testing_support::Test_Client;
using Fault = Simulator::Fault;

class Client_On_Simulator : public testing_support::Simulator_Test {
 protected:
  void SetUp() override {
    Simulator_Test::SetUp();
    take_sleeps();
  }
  void TearDown() override { testing_support::on_sleep(nullptr); }

  bool boss_login(Test_Client& client, const char* secret = Simulator::BOSS_SECRET) {
    return client.login(sim().host(), static_cast<std::uint16_t>(sim().port()), false,
                        secure_string(Simulator::BOSS_KEY_ID), secure_string(secret));
  }

  testing_support::Log_Capture log;
  Test_Client boss{HTTP_METHOD_POST, "/boss2/"};
  Test_Client iaas{HTTP_METHOD_GET, "/iaas/"};
};

TEST_F(Client_On_Simulator, BackOfficeLoginLoadsTheZones) {
  ASSERT_TRUE(boss_login(boss));
  EXPECT_THAT(boss.zones(), ElementsAre("pek3a", "sh1a"));
  EXPECT_FALSE(boss.zone());
  EXPECT_EQ(sim().requests("DescribeZones"), 1u);
  auto sent = sim().last_request("DescribeZones");
  EXPECT_EQ(sent.method, "POST");
  EXPECT_EQ(sent.param_list("status"), std::vector<std::string>{"active"});
  EXPECT_EQ(sent.param("offset"), "0");
  EXPECT_EQ(sent.param("limit"), "100");
  EXPECT_EQ(sent.param("zone"), "");
  EXPECT_TRUE(log.messages().empty());
}

TEST_F(Client_On_Simulator, UserLoginOverTheInfrastructureApi) {
  ASSERT_TRUE(iaas.login(sim().host(), static_cast<std::uint16_t>(sim().port()), false,
                         secure_string(Simulator::OPS_KEY_ID),
                         secure_string(Simulator::OPS_SECRET)));
  EXPECT_THAT(iaas.zones(), ElementsAre("pek3a", "sh1a"));
  EXPECT_EQ(sim().last_request("DescribeZones").method, "GET");
}

TEST_F(Client_On_Simulator, AWrongSecretIsThePlatformsRefusal) {
  EXPECT_FALSE(boss_login(boss, "not-the-secret"));
  EXPECT_EQ(boss.err_code(), 1200);
  EXPECT_EQ(boss.api_err_msg(), "AuthFailure, signature not matched");
  EXPECT_TRUE(log.has("Failed to call api: errno=1200, AuthFailure, signature not matched.\n"));
}

TEST_F(Client_On_Simulator, ReplyFaultsFailTheLogin) {
  struct Case {
    Fault fault;
    int err_code;
    std::string message;
  };
  std::vector<Case> cases;
  cases.push_back({Fault::malformed_record().on("DescribeZones"), 0,
                   "Invalid zone format, exception: key 'zone_id' not found.\n"});
  cases.push_back({Fault::no_ret_code().on("DescribeZones"), -1,
                   "Invalid response format, exception: key 'ret_code' not found.\n"});
  cases.push_back({Fault::ret_code(5000, "InternalError, try later").on("DescribeZones"), 5000,
                   "Failed to call api: errno=5000, InternalError, try later.\n"});
  cases.push_back({Fault::http_status(404, "gone").on("DescribeZones"), -2, ""});
  // Twice: a request that dies on a kept connection is sent once more on a
  // fresh one.
  cases.push_back({Fault::drop_connection().on("DescribeZones").times(2), -2, ""});
  for (Case& c : cases) {
    sim().reset();
    log.clear();
    sim().inject(c.fault);
    Test_Client client(HTTP_METHOD_POST, "/boss2/");
    EXPECT_FALSE(boss_login(client)) << c.message;
    EXPECT_EQ(client.err_code(), c.err_code) << c.message;
    if (!c.message.empty()) {
      EXPECT_TRUE(log.has(c.message)) << c.message;
    }
  }
}

// The connection of one client is kept for the next; one that the platform
// closed meanwhile is replaced without failing the request.
TEST_F(Client_On_Simulator, AKeptConnectionThePlatformClosedIsReplaced) {
  sim().close_connections();  // none kept from earlier tests
  ASSERT_TRUE(boss_login(boss));
  Test_Client next(HTTP_METHOD_POST, "/boss2/");
  ASSERT_TRUE(boss_login(next));
  EXPECT_EQ(sim().connections_accepted(), 1u);
  sim().close_connections();
  Test_Client after(HTTP_METHOD_POST, "/boss2/");
  EXPECT_TRUE(boss_login(after));
  EXPECT_EQ(sim().requests("DescribeZones"), 3u);
  EXPECT_EQ(sim().connections_accepted(), 2u);
}

TEST_F(Client_On_Simulator, APlatformWithoutZonesCannotBeLoggedInto) {
  qingcloud_sim::Options options = Simulator::test_options();
  Simulator empty(options, [] {
    qingcloud_sim::Inventory inventory = qingcloud_sim::demo_inventory();
    inventory.zones.clear();
    return inventory;
  });
  Test_Client client(HTTP_METHOD_POST, "/boss2/");
  EXPECT_FALSE(client.login(empty.host(), static_cast<std::uint16_t>(empty.port()), false,
                            secure_string(Simulator::BOSS_KEY_ID),
                            secure_string(Simulator::BOSS_SECRET)));
  EXPECT_EQ(client.err_code(), 0);
}

// Pages of snapshots from platforms of known sizes; one zone each.
TEST_F(Client_On_Simulator, PagesAsManyTimesAsTheTotalAsks) {
  struct Case {
    std::size_t snapshots;
    std::vector<std::string> offsets;
  };
  const Case cases[] = {{100, {"0"}}, {101, {"0", "100"}}, {250, {"0", "100", "200"}}};
  for (const Case& c : cases) {
    qingcloud_sim::Generate_Sizes sizes;
    sizes.instances = 20;
    sizes.zones = 1;
    sizes.snapshots = c.snapshots;
    Simulator platform(Simulator::test_options(),
                       [sizes] { return qingcloud_sim::generate_inventory(sizes, 7); });
    Test_Client client(HTTP_METHOD_POST, "/boss2/");
    ASSERT_TRUE(client.login(platform.host(), static_cast<std::uint16_t>(platform.port()), false,
                             secure_string(Simulator::BOSS_KEY_ID),
                             secure_string(Simulator::BOSS_SECRET)));
    ASSERT_TRUE(client.switch_zone(*client.zones().begin()));
    Object params;
    ASSERT_TRUE(client.insert_zone_if_not_exists(params));
    std::size_t records = 0;
    ASSERT_TRUE(
        client.describe_resources("DescribeSnapshots", params,
                                  Describe_Resource_Handler("snapshot_set", [&](const Value& page) {
                                    records += page.get_array().size();
                                    return true;
                                  })));
    EXPECT_EQ(records, c.snapshots);
    std::vector<std::string> offsets;
    for (const auto& r : platform.requests_of("DescribeSnapshots"))
      offsets.push_back(r.param("offset"));
    EXPECT_THAT(offsets, ElementsAreArray(c.offsets)) << c.snapshots;
    // Every request of the client went over one kept-alive connection.
    EXPECT_EQ(platform.connections_accepted(), 1u);
  }
}

TEST_F(Client_On_Simulator, NothingFoundIsOneRequest) {
  ASSERT_TRUE(boss_login(boss));
  ASSERT_TRUE(boss.switch_zone("pek3a"));
  Object params{{"snapshots", Array{"ss-nosuchone"}}, {"zone", "pek3a"}};
  bool called = false;
  ASSERT_TRUE(boss.describe_resources("DescribeSnapshots", params,
                                      Describe_Resource_Handler("snapshot_set", [&](const Value&) {
                                        called = true;
                                        return true;
                                      })));
  EXPECT_FALSE(called);
  EXPECT_EQ(sim().requests("DescribeSnapshots"), 1u);
}

TEST_F(Client_On_Simulator, ATotalThatDriftsBetweenPagesFails) {
  qingcloud_sim::Generate_Sizes sizes;
  sizes.instances = 20;
  sizes.zones = 1;
  sizes.snapshots = 150;
  Simulator platform(Simulator::test_options(),
                     [sizes] { return qingcloud_sim::generate_inventory(sizes, 7); });
  platform.inject(Fault::total_count_drift().on("DescribeSnapshots"));
  Test_Client client(HTTP_METHOD_POST, "/boss2/");
  ASSERT_TRUE(client.login(platform.host(), static_cast<std::uint16_t>(platform.port()), false,
                           secure_string(Simulator::BOSS_KEY_ID),
                           secure_string(Simulator::BOSS_SECRET)));
  Object params{{"zone", *client.zones().begin()}};
  int pages = 0;
  EXPECT_FALSE(client.describe_resources(
      "DescribeSnapshots", params, Describe_Resource_Handler("snapshot_set", [&](const Value&) {
        ++pages;
        return true;
      })));
  EXPECT_EQ(pages, 1);
  EXPECT_TRUE(log.has("Number of resource changed, expected '150', actual '151'.\n"));
}

TEST_F(Client_On_Simulator, ImageQueriesAskForAvailableImagesOfTheZone) {
  ASSERT_TRUE(boss_login(iaas));
  sim().reset_stats();
  Images images;
  Object params;
  EXPECT_FALSE(iaas.describe_images(params, images));  // no zone yet
  EXPECT_TRUE(log.has_unexpected("zone_ is NULL"));
  EXPECT_TRUE(iaas.describe_images_by_ids({}, images));
  EXPECT_EQ(sim().requests(), 0u);

  Object pinned{{"zone", "sh1a"}, {"images", Array{"img-s8pw1fzk"}}};
  ASSERT_TRUE(iaas.describe_images(pinned, images));
  ASSERT_TRUE(iaas.switch_zone("pek3a"));
  ASSERT_TRUE(iaas.describe_images_by_ids({"img-d7xv9c3e", "centos65x86a"}, images));
  EXPECT_EQ(testing_support::own_params(sim().last_request("DescribeImages")),
            boost::json::parse(R"({"images":["img-d7xv9c3e","centos65x86a"],
                                   "status":["available"],"zone":"pek3a"})"));
  ASSERT_TRUE(iaas.search_images("CentOS 7", images));
  EXPECT_EQ(testing_support::own_params(sim().last_request("DescribeImages")),
            boost::json::parse(R"({"search_word":"CentOS 7","status":["available"],
                                   "zone":"pek3a"})"));
  // The deprecated image is not found; the vector only grows.
  std::vector<std::string> ids;
  for (const Image& image : images)
    ids.push_back(image.id);
  EXPECT_THAT(ids, ElementsAre("img-s8pw1fzk", "img-d7xv9c3e", "centos77x64a"));
  EXPECT_EQ(images.back().profile.size, 20ull << 30);
}

class Jobs_On_Simulator : public Client_On_Simulator {
 protected:
  void SetUp() override {
    Client_On_Simulator::SetUp();
    ASSERT_TRUE(boss_login(boss));
    ASSERT_TRUE(boss.switch_zone("pek3a"));
    sim().reset_stats();
  }

  // A stopped instance of the current zone that the back office may start.
  std::string stopped_instance() {
    Object params{{"status", Array{"stopped"}}, {"zone", "pek3a"}};
    std::string id;
    EXPECT_TRUE(boss.describe_resources(
        "DescribeInstances", params, Describe_Resource_Handler("instance_set", [&](const Value& v) {
          if (id.empty() && !v.get_array().empty()) {
            id = v.get_array().front().get_obj().at("instance_id").get_str();
          }
          return true;
        })));
    EXPECT_FALSE(id.empty());
    sim().reset_stats();
    return id;
  }
};

TEST_F(Jobs_On_Simulator, AJobThatEndsAtOnceIsSeenWithoutWaiting) {
  Object params{{"instances", Array{stopped_instance()}}, {"zone", "pek3a"}};
  EXPECT_TRUE(boss.execute_job("StartInstances", params, nullptr));
  EXPECT_THAT(take_sleeps(), IsEmpty());
  EXPECT_EQ(sim().requests("DescribeJobs"), 1u);
  EXPECT_EQ(sim().last_request("DescribeJobs").param("zone"), "pek3a");
}

TEST_F(Jobs_On_Simulator, PollingFollowsTheJobThroughItsStates) {
  sim().set_job_seconds(5);
  // The platform's clock moves on as the client waits.
  testing_support::on_sleep([this](std::int64_t seconds) { sim().advance_clock(seconds); });
  Object params{{"instances", Array{stopped_instance()}}, {"zone", "pek3a"}};
  std::string job_id;
  ASSERT_TRUE(boss.execute_job("StartInstances", params, &job_id));
  EXPECT_EQ(sim().requests("DescribeJobs"), 0u);
  EXPECT_TRUE(boss.poll_job(job_id));
  EXPECT_THAT(take_sleeps(), ElementsAre(1, 2, 4));  // done 5 seconds in, seen at 7
  EXPECT_EQ(sim().requests("DescribeJobs"), 4u);
}

TEST_F(Jobs_On_Simulator, AFailingJobFailsThePolling) {
  sim().inject(Fault::job_fails().on("StartInstances"));
  Object params{{"instances", Array{stopped_instance()}}, {"zone", "pek3a"}};
  std::string job_id;
  ASSERT_TRUE(boss.execute_job("StartInstances", params, &job_id));
  EXPECT_FALSE(boss.poll_job(job_id));
  EXPECT_TRUE(log.has("Failed to poll job '" + job_id + "'.\n"));
}

TEST_F(Jobs_On_Simulator, AnUnknownJobIsPolledUntilTheBudgetIsUsed) {
  EXPECT_FALSE(boss.poll_job("j-nosuchjob"));
  EXPECT_THAT(take_sleeps(), ElementsAre(1, 2, 4, 8, 16, 32, 60, 60, 60, 60, 57));
  EXPECT_EQ(sim().requests("DescribeJobs"), 12u);
  EXPECT_EQ(sim().connections_accepted(), 0u);  // the login's connection was kept
}

TEST_F(Jobs_On_Simulator, CreateCallsHandOverTheNewResources) {
  Object params{{"volume_name", "scratch"}, {"size", 10}, {"volume_type", 0}, {"zone", "pek3a"}};
  std::vector<std::string> created;
  auto collect = [&created](const Value& volumes) {
    for (const Value& id : volumes.get_array())
      created.push_back(id.get_str());
    return true;
  };
  std::string job_id;
  ASSERT_TRUE(boss.create_resources("CreateVolumes", params,
                                    Create_Resource_Handler("volumes", &job_id, collect)));
  EXPECT_FALSE(job_id.empty());
  EXPECT_EQ(sim().requests("DescribeJobs"), 0u);
  ASSERT_TRUE(boss.create_resources("CreateVolumes", params,
                                    Create_Resource_Handler("volumes", nullptr, collect)));
  EXPECT_EQ(sim().requests("DescribeJobs"), 1u);
  ASSERT_EQ(created.size(), 2u);
  EXPECT_NE(created[0], created[1]);
}

}  // namespace
}  // namespace qingcloud
