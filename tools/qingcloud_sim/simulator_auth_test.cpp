// Authentication and user scoping over the wire, with requests signed by the
// independent test signer.
#include <functional>

#include <gtest/gtest.h>

#include "testing/simulator.h"
#include "tools/qingcloud_sim/sim_clock.h"

namespace {

using boost::json::array;
using boost::json::object;
using testing_support::Pairs;
using testing_support::Sim_Client;
using testing_support::Sim_Reply;
using testing_support::Simulator;

constexpr std::int64_t T0 = 1700000000;

class Auth : public testing_support::Simulator_Test {
 protected:
  void SetUp() override {
    Simulator_Test::SetUp();
    sim().freeze_clock(T0);
  }

  // Signs `pairs` with `secret`, lets `tamper` change the signed text, sends.
  static Sim_Reply send(Sim_Client& client, bool boss2, const Pairs& pairs,
                        const std::string& secret,
                        const std::function<void(std::string&)>& tamper = {}) {
    const char* path = boss2 ? "/boss2/" : "/iaas/";
    std::string query = testing_support::signed_query(boss2 ? "POST" : "GET", path, pairs, secret);
    if (tamper) tamper(query);
    return boss2 ? client.post(path, query) : client.get(std::string(path) + "?" + query);
  }

  static void set_pair(Pairs& pairs, const std::string& name, const std::string& value) {
    for (auto& pair : pairs)
      if (pair.first == name) pair.second = value;
  }

  static void replace(std::string& text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from << " in " << text;
    text.replace(at, from.size(), to);
  }
};

TEST_F(Auth, Signed_requests_are_answered_on_both_endpoints) {
  Sim_Client boss = sim().client();
  const Sim_Reply zones = boss.boss2("DescribeZones", object{{"status", array{"active"}}});
  EXPECT_EQ(zones.status, 200);
  EXPECT_EQ(zones.ret_code(), 0);
  EXPECT_EQ(zones.ids("zone_set", "zone_id"), (std::vector<std::string>{"pek3a", "sh1a"}));
  EXPECT_EQ(zones.json.at("action"), "DescribeZonesResponse");

  Sim_Client ops = sim().client(Simulator::OPS_KEY_ID, Simulator::OPS_SECRET);
  const Sim_Reply iaas = ops.iaas("DescribeZones", {{"status.1", "active"}});
  EXPECT_EQ(iaas.ret_code(), 0);
  EXPECT_EQ(iaas.total_count(), 2);
}

TEST_F(Auth, Refusals_on_both_endpoints) {
  struct Case {
    const char* name;
    std::function<void(Pairs&)> before;       // changes the pairs before signing
    std::function<void(std::string&)> after;  // changes the signed text
    std::string secret;
    std::int64_t ret_code;
  };
  const std::string stamp = qingcloud_sim::format_time(T0);
  const Case cases[] = {
      {"well signed", {}, {}, Simulator::BOSS_SECRET, 0},
      {"a wrong secret", {}, {}, "demo-boss-secreT", 1200},
      {"a changed parameter",
       {},
       [](std::string& q) { replace(q, "DescribeZones", "DescribeZonez"); },
       Simulator::BOSS_SECRET,
       1200},
      {"a missing signature",
       {},
       [](std::string& q) { q.erase(q.find("&signature=")); },
       Simulator::BOSS_SECRET,
       1200},
      {"one byte of the signature changed",
       {},
       [](std::string& q) {
         char& c = q[q.find("&signature=") + 11];
         c = c == 'A' ? 'B' : 'A';
       },
       Simulator::BOSS_SECRET,
       1200},
      {"an unknown key",
       [](Pairs& p) { set_pair(p, "access_key_id", "QYNOSUCHKEY000000001"); },
       {},
       Simulator::BOSS_SECRET,
       1200},
      {"a time stamp 61 s old",
       [](Pairs& p) { set_pair(p, "time_stamp", qingcloud_sim::format_time(T0 - 61)); },
       {},
       Simulator::BOSS_SECRET,
       1300},
      {"a time stamp 61 s ahead",
       [](Pairs& p) { set_pair(p, "time_stamp", qingcloud_sim::format_time(T0 + 61)); },
       {},
       Simulator::BOSS_SECRET,
       1300},
      {"a time stamp 60 s old",
       [](Pairs& p) { set_pair(p, "time_stamp", qingcloud_sim::format_time(T0 - 60)); },
       {},
       Simulator::BOSS_SECRET,
       0},
      {"a malformed time stamp",
       [](Pairs& p) { set_pair(p, "time_stamp", "2023-03-01 08:00:00"); },
       {},
       Simulator::BOSS_SECRET,
       1100},
  };
  for (const bool boss2 : {true, false}) {
    Sim_Client client = sim().client();
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (boss2 ? " on /boss2/" : " on /iaas/"));
      Pairs pairs = boss2 ? client.boss2_pairs("DescribeZones", object{})
                          : client.iaas_pairs("DescribeZones", {});
      if (c.before) c.before(pairs);
      const Sim_Reply reply = send(client, boss2, pairs, c.secret, c.after);
      EXPECT_EQ(reply.status, 200);
      EXPECT_EQ(reply.ret_code(), c.ret_code) << reply.body;
      if (c.ret_code == 1200) {
        EXPECT_EQ(reply.message(), "AuthFailure, signature not matched");
      } else if (c.ret_code == 1300) {
        EXPECT_EQ(reply.message().rfind("RequestExpired, ", 0), 0u);
      }
    }
  }
}

TEST_F(Auth, The_signed_path_and_method_count) {
  Sim_Client client = sim().client();
  const Pairs pairs = client.iaas_pairs("DescribeZones", {});
  // Signed for "/boss2/" but sent to "/iaas/".
  EXPECT_EQ(client
                .get("/iaas/?" +
                     testing_support::signed_query("GET", "/boss2/", pairs, Simulator::BOSS_SECRET))
                .ret_code(),
            1200);
  EXPECT_EQ(client
                .get("/iaas/?" +
                     testing_support::signed_query("POST", "/iaas/", pairs, Simulator::BOSS_SECRET))
                .ret_code(),
            1200);
  // The infrastructure API's POST form: the query's pairs in the body, signed for POST.
  EXPECT_EQ(client
                .post("/iaas/", testing_support::signed_query("POST", "/iaas/", pairs,
                                                              Simulator::BOSS_SECRET))
                .total_count(),
            2);
  EXPECT_EQ(client
                .post("/iaas/",
                      testing_support::signed_query("GET", "/iaas/", pairs, Simulator::BOSS_SECRET))
                .ret_code(),
            1200);
  // A changed clock tolerance.
  sim().set_max_clock_skew(600);
  Pairs old = pairs;
  set_pair(old, "time_stamp", qingcloud_sim::format_time(T0 - 300));
  EXPECT_EQ(send(client, false, old, Simulator::BOSS_SECRET).ret_code(), 0);
}

TEST_F(Auth, A_users_key_sees_only_that_users_resources) {
  Sim_Client ops = sim().client(Simulator::OPS_KEY_ID, Simulator::OPS_SECRET);
  Sim_Client boss = sim().client();
  for (const char* zone : {"pek3a", "sh1a"}) {
    SCOPED_TRACE(zone);
    const Sim_Reply mine = ops.iaas("DescribeInstances", {{"zone", zone}, {"limit", "100"}});
    const Sim_Reply owned =
        boss.boss2("DescribeInstances",
                   object{{"zone", zone}, {"owner", Simulator::OPS_USER_ID}, {"limit", 100}});
    EXPECT_GT(mine.total_count(), 0);
    EXPECT_EQ(mine.ids("instance_set", "instance_id"), owned.ids("instance_set", "instance_id"));
    const Sim_Reply all = boss.boss2("DescribeInstances", object{{"zone", zone}, {"limit", 100}});
    EXPECT_GT(all.total_count(), mine.total_count());
  }
  // Networks: the user's own and the platform's.
  const Sim_Reply vxnets = ops.iaas("DescribeVxnets", {{"zone", "pek3a"}});
  for (const auto& v : vxnets.json.at("vxnet_set").as_array()) {
    const auto& owner = v.at("owner").as_string();
    EXPECT_TRUE(owner == Simulator::OPS_USER_ID || owner == "system") << owner;
  }
  // Another user's instance does not exist for this key.
  EXPECT_EQ(ops.iaas("DescribeInstances", {{"zone", "pek3a"}, {"instances.1", "i-4nl6sd2h"}})
                .total_count(),
            0);
  EXPECT_EQ(
      ops.iaas("StopInstances", {{"zone", "pek3a"}, {"instances.1", "i-4nl6sd2h"}}).ret_code(),
      2100);
  // Back-office actions and the back-office endpoint need a back-office key.
  EXPECT_EQ(ops.iaas("DescribeUsers", {}).ret_code(), 1400);
  EXPECT_EQ(ops.boss2("DescribeZones").ret_code(), 1400);
  EXPECT_EQ(boss.iaas("DescribeUsers", {}).ret_code(), 0);
}

}  // namespace
