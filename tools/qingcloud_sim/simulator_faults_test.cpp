// Every named fault, through the library API and through POST /_sim/faults,
// and keep-alive.
#include <boost/json/parse.hpp>
#include <gtest/gtest.h>

#include "testing/simulator.h"

namespace {

using boost::json::array;
using boost::json::object;
using qingcloud_sim::Fault;
using testing_support::Sim_Client;
using testing_support::Sim_Reply;
using testing_support::Simulator;

class Faults : public testing_support::Simulator_Test {
 protected:
  Sim_Client client_ = sim().client();
  Sim_Reply zones() { return client_.boss2("DescribeZones", object{{"status", array{"active"}}}); }
};

TEST_F(Faults, Answers_replaced_for_the_next_requests) {
  sim().inject(Fault::http_status(404, "<html>no such page</html>").on("DescribeZones"));
  sim().inject(Fault::http_status(200).on("DescribeZones"));
  sim().inject(Fault::not_json().on("DescribeZones"));
  sim().inject(Fault::ret_code(1400, "PermissionDenied, not today").on("DescribeZones").times(2));

  Sim_Reply r = zones();
  EXPECT_EQ(r.status, 404);
  EXPECT_EQ(r.body, "<html>no such page</html>");
  r = zones();
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(r.body, "");  // 200 without a body
  r = zones();
  EXPECT_EQ(r.status, 200);
  EXPECT_TRUE(r.json.is_null());
  EXPECT_FALSE(r.body.empty());
  for (int i = 0; i < 2; ++i) {
    r = zones();
    EXPECT_EQ(r.ret_code(), 1400);
    EXPECT_EQ(r.message(), "PermissionDenied, not today");
  }
  EXPECT_EQ(zones().ret_code(), 0);  // all used up
  EXPECT_EQ(sim().requests("DescribeZones"), 6u);
  EXPECT_TRUE(sim().server().faults().empty());
}

TEST_F(Faults, Served_answers_shaped) {
  sim().inject(Fault::no_ret_code().on("DescribeZones"));
  const Sim_Reply bare = zones();
  EXPECT_EQ(bare.ret_code(), -1);
  EXPECT_EQ(bare.total_count(), 2);
  EXPECT_EQ(sim().last_request().ret_code, -1);

  sim().inject(Fault::no_ret_code("ServiceUnavailable, busy").on("DescribeZones"));
  EXPECT_EQ(zones().message(), "ServiceUnavailable, busy");
  sim().inject(Fault::ret_code(0, "").on("DescribeZones"));
  EXPECT_EQ(zones().body, R"({"ret_code":0})");

  sim().inject(Fault::malformed_record().on("DescribeZones"));
  EXPECT_EQ(zones().ids("zone_set", "zone_id"), (std::vector<std::string>{"?", "sh1a"}));

  // The drift shows on a later page only.
  sim().inject(Fault::total_count_drift().on("DescribeInstances"));
  const object page1{{"zone", "pek3a"}, {"limit", 10}, {"offset", 0}};
  object page2 = page1;
  page2["offset"] = 10;
  EXPECT_EQ(client_.boss2("DescribeInstances", page1).total_count(), 18);
  EXPECT_EQ(client_.boss2("DescribeInstances", page2).total_count(), 19);
  EXPECT_EQ(client_.boss2("DescribeInstances", page2).total_count(), 18);
}

TEST_F(Faults, A_dropped_connection_gets_no_answer) {
  sim().inject(Fault::drop_connection().on("DescribeZones"));
  const Sim_Reply dropped = zones();
  EXPECT_EQ(dropped.status, 0);
  EXPECT_EQ(sim().last_request().http_status, 0);
  EXPECT_EQ(zones().ret_code(), 0);  // the client connects again
  EXPECT_EQ(sim().connections_accepted(), 2u);
}

TEST_F(Faults, A_delay_outlasts_a_short_client_time_out) {
  sim().inject(Fault::delay(1500).on("DescribeZones"));
  Sim_Client impatient(sim().host(), sim().port());
  impatient.use_key(Simulator::BOSS_KEY_ID, Simulator::BOSS_SECRET);
  impatient.set_read_timeout_ms(100);
  EXPECT_EQ(impatient.boss2("DescribeZones").status, 0);
  EXPECT_EQ(zones().ret_code(), 0);  // the delay was used up
}

TEST_F(Faults, Jobs_fail_and_leases_stay_pending) {
  sim().inject(Fault::job_fails().on("StopInstances"));
  const Sim_Reply stop =
      client_.boss2("StopInstances", object{{"zone", "pek3a"}, {"instances", array{"i-k8s2m1qa"}}});
  const std::string job(stop.json.at("job_id").as_string());
  const Sim_Reply jobs =
      client_.boss2("DescribeJobs", object{{"zone", "pek3a"}, {"jobs", array{job}}});
  EXPECT_EQ(jobs.json.at("job_set").at(0).at("status"), "failed");

  sim().inject(Fault::lease_never_active());
  Sim_Client ops = sim().client(Simulator::OPS_KEY_ID, Simulator::OPS_SECRET);
  const Sim_Reply volume = ops.iaas("CreateVolumes", {{"zone", "pek3a"}, {"size", "10"}});
  const std::string id(volume.json.at("volumes").at(0).as_string());
  sim().advance_clock(3600);
  const Sim_Reply lease = ops.iaas(
      "GetLeaseInfo", {{"zone", "pek3a"}, {"resource", id}, {"owner", Simulator::OPS_USER_ID}});
  EXPECT_EQ(lease.json.at("lease_info").at("status"), "pending");
  EXPECT_EQ(ops.iaas("DeleteVolumes", {{"zone", "pek3a"}, {"volumes.1", id}}).message(),
            "PermissionDenied, resource [" + id + "] lease info not ready yet, please try later");
}

TEST_F(Faults, Armed_over_http) {
  const Sim_Reply armed = client_.post(
      "/_sim/faults",
      R"([{"fault":"ret_code","action":"DescribeZones","ret_code":5000,"message":"InternalError, x"},
          {"fault":"http_status","status":503,"times":-1,"action":"DescribeUsers"}])",
      "application/json");
  EXPECT_EQ(armed.status, 200);
  EXPECT_EQ(armed.json.at("faults").as_array().size(), 2u);
  EXPECT_EQ(zones().ret_code(), 5000);
  EXPECT_EQ(client_.boss2("DescribeUsers").status, 503);
  EXPECT_EQ(client_.boss2("DescribeUsers").status, 503);
  EXPECT_EQ(client_.get("/_sim/faults").json.at("faults").as_array().size(), 1u);
  EXPECT_EQ(client_.post("/_sim/faults", R"({"fault":"gremlins"})", "application/json").status,
            400);
  EXPECT_EQ(client_.post("/_sim/faults", "not json", "application/json").status, 400);
  sim().clear_faults();
  EXPECT_EQ(client_.boss2("DescribeUsers").ret_code(), 0);
}

TEST_F(Faults, Keep_alive_carries_hundreds_of_requests) {
  for (int i = 0; i < 300; ++i)
    ASSERT_EQ(zones().ret_code(), 0) << i;
  EXPECT_EQ(sim().connections_accepted(), 1u);
  EXPECT_EQ(sim().requests("DescribeZones"), 300u);
}

}  // namespace
