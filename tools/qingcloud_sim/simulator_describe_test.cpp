// Describe calls over the wire: paging, every filter, zone scoping and what
// the stats record.
#include <memory>
#include <set>

#include <boost/json/parse.hpp>
#include <gtest/gtest.h>

#include "testing/simulator.h"
#include "tools/qingcloud_sim/generated_inventory.h"

namespace {

using boost::json::array;
using boost::json::object;
using testing_support::Sim_Client;
using testing_support::Sim_Reply;
using testing_support::Simulator;
using Ids = std::vector<std::string>;

class Describe : public testing_support::Simulator_Test {};

// A platform of 250 instances in one zone, for paging.
class Paging : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    big_ = new Simulator(Simulator::test_options(), [] {
      qingcloud_sim::Generate_Sizes sizes;
      sizes.instances = 250;
      sizes.zones = 1;
      return qingcloud_sim::generate_inventory(sizes, 3);
    });
  }
  static void TearDownTestSuite() {
    delete big_;
    big_ = nullptr;
  }
  static Simulator* big_;
};
Simulator* Paging::big_ = nullptr;

TEST_F(Paging, Offsets_limits_caps_and_the_end) {
  Sim_Client client = big_->client();
  std::set<std::string> seen;
  for (int offset : {0, 100, 200}) {
    const Sim_Reply page = client.boss2(
        "DescribeInstances", object{{"zone", "pek3a"}, {"offset", offset}, {"limit", 100}});
    EXPECT_EQ(page.total_count(), 250);
    const Ids ids = page.ids("instance_set", "instance_id");
    EXPECT_EQ(ids.size(), offset < 200 ? 100u : 50u);
    seen.insert(ids.begin(), ids.end());
  }
  EXPECT_EQ(seen.size(), 250u);
  auto count = [&](object params) {
    params["zone"] = "pek3a";
    const Sim_Reply page = client.boss2("DescribeInstances", params);
    EXPECT_EQ(page.total_count(), 250);
    return page.ids("instance_set", "instance_id").size();
  };
  EXPECT_EQ(count(object{}), 20u);                  // default limit
  EXPECT_EQ(count(object{{"limit", 1000}}), 100u);  // capped
  EXPECT_EQ(count(object{{"offset", 250}}), 0u);    // at the end
  EXPECT_EQ(count(object{{"offset", 10000}, {"limit", 5}}), 0u);
  // GET carries them as text.
  const Sim_Reply get =
      client.iaas("DescribeInstances", {{"zone", "pek3a"}, {"offset", "240"}, {"limit", "100"}});
  EXPECT_EQ(get.ids("instance_set", "instance_id").size(), 10u);
  EXPECT_EQ(client.boss2("DescribeInstances", object{{"zone", "pek3a"}, {"offset", -1}}).ret_code(),
            1100);
  // One client, one connection: keep-alive held for every page.
  EXPECT_EQ(big_->connections_accepted(), 1u);
}

TEST_F(Describe, Every_filter) {
  struct Case {
    const char* action;
    const char* params;  // JSON of the back-office "params"
    const char* set;
    const char* id;
    Ids expected;
  };
  const Case cases[] = {
      {"DescribeZones", R"({"status":["active"]})", "zone_set", "zone_id", {"pek3a", "sh1a"}},
      {"DescribeZones", R"({"zones":["sh1a"]})", "zone_set", "zone_id", {"sh1a"}},
      {"DescribeUsers",
       R"({"users":["usr-ops00001"],"status":["active"]})",
       "user_set",
       "user_id",
       {"usr-ops00001"}},
      {"DescribeUsers", R"({"search_word":"DE"})", "user_set", "user_id", {"usr-dev00001"}},
      {"DescribeAccessKeys",
       R"({"owner":"usr-dev00001","status":["active"]})",
       "access_key_set",
       "access_key_id",
       {"QYDEMODEV00000000001"}},
      {"DescribeAccessKeys",
       R"({"owner":"usr-dev00001","status":["disabled"]})",
       "access_key_set",
       "access_key_id",
       {}},
      {"Boss2DescribeBots",
       R"({"zone":"pek3a","status":["active"]})",
       "bot_set",
       "host_machine",
       {"pek3ar01n01", "pek3ar01n02", "pek3ar02n01"}},
      {"Boss2GetBotsBasicInfo",
       R"({"zone":"sh1a","bots":["sh1ar02n01"],"verbose":1})",
       "bot_set",
       "host_machine",
       {"sh1ar02n01"}},
      {"DescribeInstances",
       R"({"zone":"pek3a","host_machine":"pek3ar02n01","status":["running","stopped"],"controller":"self"})",
       "instance_set",
       "instance_id",
       {"i-3fq9zt0c", "i-3fq9zt0d", "i-2qd8kx5s", "i-7ck5wb9p", "i-1gy8qm3z"}},
      {"DescribeInstances",
       R"({"zone":"pek3a","search_word":"WEB"})",
       "instance_set",
       "instance_id",
       {"i-k8s2m1qa", "i-k8s2m1qb"}},
      {"DescribeInstances",
       R"({"zone":"pek3a","search_word":"i-3fq9"})",
       "instance_set",
       "instance_id",
       {"i-3fq9zt0c", "i-3fq9zt0d"}},
      {"DescribeInstances",
       R"({"zone":"pek3a","instances":["i-k8s2m1qa","i-s1x4ka7m"]})",
       "instance_set",
       "instance_id",
       {"i-k8s2m1qa"}},
      {"DescribeInstances",
       R"({"zone":"pek3a","owner":"usr-dev00001","controller":"pitrix"})",
       "instance_set",
       "instance_id",
       {"i-0wf3xa8b"}},
      {"DescribeVxnets",
       R"({"zone":"pek3a","vxnet_type":[0,1,2],"excluded_vxnets":["vxnet-0","vxnet-1"]})",
       "vxnet_set",
       "vxnet_id",
       {"vxnet-k3mf8qa", "vxnet-p7tn2xe", "vxnet-w9c4rdy", "vxnet-d2hq6lv", "vxnet-f5zb8um"}},
      {"DescribeVxnets",
       R"({"zone":"sh1a","vxnets":["vxnet-s3n7k4d"],"owner":"usr-dev00001"})",
       "vxnet_set",
       "vxnet_id",
       {"vxnet-s3n7k4d"}},
      {"DescribeVolumes",
       R"({"zone":"pek3a","volumes":["vol-w3b9k2fa","vol-f6j1c8ua"],"status":["in-use","available"]})",
       "volume_set",
       "volume_id",
       {"vol-w3b9k2fa", "vol-f6j1c8ua"}},
      {"DescribeVolumes",
       R"({"zone":"pek3a","status":["available"]})",
       "volume_set",
       "volume_id",
       {"vol-f6j1c8ua", "vol-a9n3e4wq", "vol-g1m6v3kd"}},
      {"DescribeImages",
       R"({"zone":"sh1a","images":["centos77x64a"],"status":["available"]})",
       "image_set",
       "image_id",
       {"centos77x64a"}},
      {"DescribeImages",
       R"({"zone":"pek3a","search_word":"ubuntu","status":["available"]})",
       "image_set",
       "image_id",
       {"ubuntu2004x64a"}},
      {"DescribeImages",
       R"({"zone":"pek3a","status":["deprecated"]})",
       "image_set",
       "image_id",
       {"centos65x86a"}},
      {"DescribeSnapshots",
       R"({"zone":"pek3a","snapshots":["ss-w7m2x9pe"],"snapshot_type":"2"})",
       "snapshot_set",
       "snapshot_id",
       {"ss-w7m2x9pe"}},
      {"DescribeSnapshots",
       R"({"zone":"pek3a","snapshots":["ss-d3k8q1wa"],"snapshot_type":"2"})",
       "snapshot_set",
       "snapshot_id",
       {}},
      {"DescribeJobs",
       R"({"zone":"pek3a","jobs":["j-8f2k1q7a"]})",
       "job_set",
       "job_id",
       {"j-8f2k1q7a"}},
  };
  Sim_Client client = sim().client();
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.action) + " " + c.params);
    object params = boost::json::parse(c.params).as_object();
    params["limit"] = 100;
    const Sim_Reply reply = client.boss2(c.action, params);
    ASSERT_EQ(reply.ret_code(), 0) << reply.body;
    EXPECT_EQ(reply.ids(c.set, c.id), c.expected);
    EXPECT_EQ(reply.total_count(), static_cast<std::int64_t>(c.expected.size()));
    EXPECT_EQ(reply.json.at("action").as_string(), std::string(c.action) + "Response");
  }
}

TEST_F(Describe, Lists_travel_as_numbered_pairs_on_get) {
  Sim_Client ops = sim().client(Simulator::OPS_KEY_ID, Simulator::OPS_SECRET);
  const Sim_Reply reply = ops.iaas("DescribeInstances", {{"zone", "sh1a"},
                                                         {"status.1", "running"},
                                                         {"status.2", "stopped"},
                                                         {"controller", "self"},
                                                         {"limit", "100"}});
  EXPECT_EQ(reply.ids("instance_set", "instance_id"),
            (Ids{"i-s1x4ka7m", "i-s1x4ka7n", "i-s2m8qe3d", "i-s3r5td9w"}));
  const auto last = sim().last_request("DescribeInstances");
  EXPECT_EQ(last.method, "GET");
  EXPECT_EQ(last.path, "/iaas/");
  EXPECT_EQ(last.form_value("status.2"), "stopped");
  EXPECT_EQ(last.param_list("status"), (Ids{"running", "stopped"}));
  EXPECT_EQ(last.param("access_key_id"), Simulator::OPS_KEY_ID);
  EXPECT_EQ(last.ret_code, 0);

  Sim_Client boss = sim().client();
  boss.boss2("DescribeVxnets", object{{"zone", "pek3a"}, {"vxnet_type", array{0, 1, 2}}});
  const auto post = sim().last_request();
  EXPECT_EQ(post.method, "POST");
  EXPECT_EQ(post.form.size(), 5u);
  EXPECT_EQ(post.param_list("vxnet_type"), (Ids{"0", "1", "2"}));
  EXPECT_EQ(post.param("signature_method"), "HmacSHA256");
  EXPECT_EQ(sim().requests("DescribeVxnets"), 1u);
  EXPECT_EQ(sim().requests("DescribeInstances"), 1u);
}

TEST_F(Describe, Zones_scope_zone_bound_actions) {
  Sim_Client client = sim().client();
  EXPECT_EQ(client.boss2("DescribeInstances", object{{"zone", "pek3a"}}).total_count(), 18);
  EXPECT_EQ(client.boss2("DescribeInstances", object{{"zone", "sh1a"}}).total_count(), 13);
  const Sim_Reply none = client.boss2("DescribeInstances");
  EXPECT_EQ(none.ret_code(), 1100);
  EXPECT_EQ(none.message(), "ParameterError, parameter [zone] is required");
  EXPECT_EQ(client.boss2("Boss2DescribeBots", object{{"zone", "gd2a"}}).ret_code(), 1100);
  EXPECT_EQ(client.boss2("DescribeZones").ret_code(), 0);
  // Disk figures only in verbose bot listings.
  const Sim_Reply plain = client.boss2("Boss2DescribeBots", object{{"zone", "pek3a"}});
  EXPECT_FALSE(plain.json.at("bot_set").at(0).as_object().contains("free_disk"));
  const Sim_Reply verbose =
      client.boss2("Boss2GetBotsBasicInfo", object{{"zone", "pek3a"}, {"verbose", 1}});
  EXPECT_TRUE(verbose.json.at("bot_set").at(0).at("free_disk").is_double());
}

}  // namespace
