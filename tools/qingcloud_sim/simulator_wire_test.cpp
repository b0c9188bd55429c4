// The simulator on the wire: malformed requests, jobs end to end, TLS and
// the control endpoints.
#include <filesystem>
#include <fstream>
#include <memory>

#include <boost/json/parse.hpp>
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include "testing/simulator.h"
#include "testing/test_certificate.h"
#include "tools/qingcloud_sim/sim_clock.h"

namespace {

using boost::json::array;
using boost::json::object;
using testing_support::Pairs;
using testing_support::Sim_Client;
using testing_support::Sim_Reply;
using testing_support::Simulator;

class Wire : public testing_support::Simulator_Test {
 protected:
  Sim_Client client_ = sim().client();

  // A well-signed back-office request whose form pairs `change` edits first.
  Sim_Reply boss2_with(const std::function<void(Pairs&)>& change,
                       const std::string& action = "DescribeZones") {
    Pairs pairs = client_.boss2_pairs(action, object{});
    change(pairs);
    return client_.post(
        "/boss2/", testing_support::signed_query("POST", "/boss2/", pairs, Simulator::BOSS_SECRET));
  }
  static void set_params(Pairs& pairs, const std::string& params) {
    for (auto& p : pairs)
      if (p.first == "params") p.second = params;
  }
};

TEST_F(Wire, Malformed_requests_get_an_answer) {
  const std::string long_value(7000, 'x');
  const std::string nested(5000, '[');
  struct Case {
    const char* name;
    std::function<Sim_Reply()> send;
    int status;
    std::int64_t ret_code;
  };
  const Case cases[] = {
      {"no query", [&] { return client_.get("/iaas/"); }, 200, 1200},
      {"a bad escape", [&] { return client_.get("/iaas/?action=%zz"); }, 200, 1100},
      {"a lone percent", [&] { return client_.get("/iaas/?action=Describe%"); }, 200, 1100},
      {"empty pairs", [&] { return client_.get("/iaas/?&&=&a&b="); }, 200, 1200},
      {"a long value", [&] { return client_.get("/iaas/?x=" + long_value); }, 200, 1200},
      {"a huge index", [&] { return client_.get("/iaas/?status.99999999999=x"); }, 200, 1200},
      {"an unsigned action",
       [&] {
         return client_.get("/iaas/?action=DescribeZones&access_key_id=QYDEMOBOSS0000000001");
       },
       200, 1200},
      {"signed, limit not a number",
       [&] {
         return client_.iaas("DescribeInstances", {{"zone", "pek3a"}, {"limit", "ten"}});
       },
       200, 1100},
      {"signed, a value and a list of one name",
       [&] {
         return client_.iaas("DescribeZones", {{"status", "a"}, {"status.1", "b"}});
       },
       200, 1100},
      {"signed, a repeated name",
       [&] {
         return client_.iaas("DescribeZones", {{"zone", "a"}, {"zone", "b"}});
       },
       200, 1100},
      {"signed, bytes that are not UTF-8",
       [&] {
         return client_.iaas("DescribeInstances", {{"zone", "pek3a"}, {"search_word", "\xFF\xFE"}});
       },
       200, 0},
      {"signed, an unknown action", [&] { return client_.boss2("FormatAllDisks"); }, 200, 1101},
      {"an empty body", [&] { return client_.post("/boss2/", ""); }, 200, 1200},
      {"a body that is not a form", [&] { return client_.post("/boss2/", "%%%"); }, 200, 1100},
      {"a JSON body", [&] { return client_.post("/boss2/", "{}", "application/json"); }, 200, 1100},
      {"params not JSON", [&] { return boss2_with([](Pairs& p) { set_params(p, "nope"); }); }, 200,
       1100},
      {"params an array", [&] { return boss2_with([](Pairs& p) { set_params(p, "[1,2]"); }); }, 200,
       1100},
      {"params nested deeply", [&] { return boss2_with([&](Pairs& p) { set_params(p, nested); }); },
       200, 1100},
      {"params with a huge value",
       [&] {
         return boss2_with(
             [](Pairs& p) {
               set_params(p,
                          R"({"zone":"pek3a","search_word":")" + std::string(1 << 20, 'w') + "\"}");
             },
             "DescribeInstances");
       },
       200, 0},
      {"a parameter outside params",
       [&] { return boss2_with([](Pairs& p) { p.emplace_back("zone", "pek3a"); }); }, 200, 1100},
      {"another action inside params",
       [&] { return boss2_with([](Pairs& p) { set_params(p, R"({"action":"DescribeUsers"})"); }); },
       200, 1100},
      {"no action",
       [&] {
         return boss2_with([](Pairs& p) {
           p.erase(std::find_if(p.begin(), p.end(), [](auto& x) { return x.first == "action"; }));
         });
       },
       200, 1100},
      {"an over-long URL", [&] { return client_.get("/iaas/?x=" + std::string(20000, 'y')); }, 414,
       -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Sim_Reply reply = c.send();
    EXPECT_EQ(reply.status, c.status);
    EXPECT_EQ(reply.ret_code(), c.ret_code) << reply.body.substr(0, 300);
  }
  // Still serving.
  EXPECT_EQ(client_.boss2("DescribeZones").ret_code(), 0);
}

TEST_F(Wire, Jobs_end_to_end) {
  sim().freeze_clock(1700000000);
  sim().set_job_seconds(2);
  Sim_Client ops = sim().client(Simulator::OPS_KEY_ID, Simulator::OPS_SECRET);
  const Sim_Reply stop =
      ops.iaas("StopInstances", {{"zone", "pek3a"}, {"instances.1", "i-k8s2m1qa"}, {"force", "0"}});
  ASSERT_EQ(stop.ret_code(), 0) << stop.body;
  const std::string job(stop.json.at("job_id").as_string());
  auto job_status = [&] {
    const Sim_Reply jobs = ops.iaas("DescribeJobs", {{"zone", "pek3a"}, {"jobs.1", job}});
    return std::string(jobs.json.at("job_set").at(0).at("status").as_string());
  };
  auto instance = [&](const char* key) {
    const Sim_Reply r =
        ops.iaas("DescribeInstances", {{"zone", "pek3a"}, {"instances.1", "i-k8s2m1qa"}});
    return std::string(r.json.at("instance_set").at(0).at(key).as_string());
  };
  EXPECT_EQ(job_status(), "pending");
  EXPECT_EQ(instance("transition_status"), "stopping");
  sim().advance_clock(1);
  EXPECT_EQ(job_status(), "working");
  sim().advance_clock(1);
  EXPECT_EQ(job_status(), "successful");
  EXPECT_EQ(instance("status"), "stopped");
  EXPECT_EQ(
      ops.iaas("StopInstances", {{"zone", "pek3a"}, {"instances.1", "i-k8s2m1qa"}}).ret_code(),
      1400);
}

TEST(Tls, Serves_https_with_a_certificate_and_key) {
  const testing_support::Test_Certificate certificate("IP:127.0.0.1");
  qingcloud_sim::Options options = Simulator::test_options();
  options.tls_cert = certificate.cert();
  options.tls_key = certificate.key();
  Simulator secure(options);
  Sim_Client client = secure.client();
  const Sim_Reply zones = client.boss2("DescribeZones");
  EXPECT_EQ(zones.ret_code(), 0) << zones.body;
  EXPECT_EQ(client.iaas("DescribeZones").ret_code(), 0);
  // Plain HTTP to the TLS port gets no API answer.
  Sim_Client plain(secure.host(), secure.port(), false);
  EXPECT_EQ(plain.get("/iaas/").ret_code(), -1);

  qingcloud_sim::Options files = Simulator::test_options();
  files.tls_cert_file = certificate.pem_file();
  files.tls_key_file = certificate.pem_file();  // not a key
  EXPECT_THROW(Simulator broken(files), std::runtime_error);
}

TEST_F(Wire, Control_endpoints) {
  client_.boss2("DescribeZones");
  client_.boss2("DescribeZones");
  const Sim_Reply stats = client_.get("/_sim/stats");
  EXPECT_EQ(stats.json.at("requests_by_action").at("DescribeZones"), 2);
  EXPECT_EQ(stats.json.at("connections_accepted"), 1);
  EXPECT_EQ(stats.json.at("version"), "5.1.1");
  EXPECT_EQ(stats.json.at("last_requests").at(1).at("action"), "DescribeZones");

  sim().freeze_clock(1700000000);
  const Sim_Reply clock = client_.post("/_sim/clock", R"({"advance":30})", "application/json");
  EXPECT_EQ(clock.json.at("now").as_string(), qingcloud_sim::format_time(1700000030));
  EXPECT_EQ(clock.json.at("wall_now").as_string(), qingcloud_sim::format_time(1700000000));
  EXPECT_EQ(client_.post("/_sim/clock", R"({"advance":"x"})", "application/json").status, 400);

  client_.boss2("StopInstances", object{{"zone", "pek3a"}, {"instances", array{"i-k8s2m1qa"}}});
  const Sim_Reply inventory = client_.get("/_sim/inventory");
  EXPECT_EQ(inventory.json.at("zones").at(0).at("zone_id"), "pek3a");
  EXPECT_EQ(client_.post("/_sim/reset", "", "application/json").status, 200);
  EXPECT_EQ(sim().requests(), 0u);
  const Sim_Reply after = client_.boss2(
      "DescribeInstances", object{{"zone", "pek3a"}, {"instances", array{"i-k8s2m1qa"}}});
  EXPECT_EQ(after.json.at("instance_set").at(0).at("transition_status"), "");
  EXPECT_EQ(client_.get("/_sim/nothing").status, 404);
}

}  // namespace
