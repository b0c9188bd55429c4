// The infrastructure client against the QingCloud API simulator, over the
// wire; its waits are faked.
#include <functional>
#include <numeric>
#include <string>
#include <vector>

#include <boost/json/parse.hpp>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "api/boss2_client.h"
#include "api/iaas_client.h"
#include "testing/fake_sleep.h"
#include "testing/log_capture.h"
#include "testing/simulator.h"

namespace qingcloud {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing_support::own_params;
using testing_support::Simulator;
using testing_support::take_sleeps;
using Fault = Simulator::Fault;
using Ids = std::vector<std::string>;

constexpr std::uint64_t GiB = std::uint64_t(1) << 30;

class Iaas_Client_Test : public testing_support::Simulator_Test {
 protected:
  void SetUp() override {
    Simulator_Test::SetUp();
    take_sleeps();
    ASSERT_TRUE(boss.login(sim().host(), static_cast<std::uint16_t>(sim().port()), false,
                           secure_string(Simulator::BOSS_KEY_ID),
                           secure_string(Simulator::BOSS_SECRET)));
    iaas = boss.iaas_client(Simulator::OPS_USER_ID);
    ASSERT_NE(iaas, nullptr);
    ASSERT_TRUE(iaas->switch_zone("pek3a"));
    sim().reset_stats();
  }
  void TearDown() override { testing_support::on_sleep(nullptr); }

  static Instance_Profile small_profile() {
    Instance_Profile p;
    p.cpu = 1;
    p.memory = 1024;
    p.os_disk_size = 20 * GiB;
    return p;
  }

  testing_support::Log_Capture log;
  BOSS2_Client boss{Simulator::VERSION, "127.0.0.1"};
  IAAS_Client_ptr iaas;
};

// What "RunInstances" carries: keys left out when empty, sizes in GiB, the
// numbers always.  The password is checked on its own below.
TEST_F(Iaas_Client_Test, RunInstanceSendsTheProfile) {
  struct Case {
    const char* what;
    std::string name;
    Instance_Profile profile;
    Ids volumes, vxnets;
    const char* params;
    bool ok;
  };
  Instance_Profile full = small_profile();
  full.instance_type = "s1.small.r1";
  full.cpu_model = "Westmere";
  full.cpu_topology = "1x1x1";
  full.os_disk_size = 30 * GiB + GiB / 2;  // the half GiB is dropped
  full.instance_class = 101;
  Instance_Profile tiny_disk = small_profile();
  tiny_disk.os_disk_size = 1610612736;  // 1.5 GiB: sent as 1, which the platform refuses
  Instance_Profile zeros;
  const Case cases[] = {
      {"empty strings and lists left out",
       "",
       small_profile(),
       {},
       {},
       R"({"zone":"pek3a","image_id":"centos77x64a","cpu":"1","memory":"1024",
           "os_disk_size":"20","instance_class":"0","login_mode":"passwd"})",
       true},
      {"everything given",
       "web-03",
       full,
       {"vol-f6j1c8ua"},
       {"vxnet-p7tn2xe"},
       R"({"zone":"pek3a","instance_name":"web-03","image_id":"centos77x64a",
           "instance_type":"s1.small.r1","cpu_model":"Westmere","cpu_topology":"1x1x1",
           "cpu":"1","memory":"1024","os_disk_size":"30","instance_class":"101",
           "login_mode":"passwd","volumes":["vol-f6j1c8ua"],"vxnets":["vxnet-p7tn2xe"]})",
       true},
      {"sizes shifted to GiB",
       "",
       tiny_disk,
       {},
       {},
       R"({"zone":"pek3a","image_id":"centos77x64a","cpu":"1","memory":"1024",
           "os_disk_size":"1","instance_class":"0","login_mode":"passwd"})",
       false},
      {"zeros are sent",
       "",
       zeros,
       {},
       {},
       R"({"zone":"pek3a","image_id":"centos77x64a","cpu":"0","memory":"0",
           "os_disk_size":"0","instance_class":"0","login_mode":"passwd"})",
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string instance_id, job_id;
    EXPECT_EQ(iaas->run_instance(c.name, "centos77x64a", c.profile, c.volumes, c.vxnets,
                                 instance_id, &job_id),
              c.ok);
    boost::json::object sent = own_params(sim().last_request("RunInstances"));
    EXPECT_TRUE(sent.erase("login_passwd"));
    EXPECT_EQ(sent, boost::json::parse(c.params));
    EXPECT_EQ(instance_id.rfind("i-", 0) == 0, c.ok) << instance_id;
    EXPECT_EQ(iaas->err_code(), c.ok ? 0 : 1100);
  }
}

TEST_F(Iaas_Client_Test, EveryInstanceGetsAFreshPasswordThatOnlyTheCallerSees) {
  std::vector<std::string> sent;
  secure_string handed_out;
  std::string instance_id;
  for (int n = 0; n < 2; ++n) {
    ASSERT_TRUE(iaas->run_instance("", "centos77x64a", small_profile(), {}, {}, instance_id,
                                   nullptr, &handed_out));
    sent.push_back(sim().last_request("RunInstances").param("login_passwd"));
  }
  EXPECT_NE(sent[0], sent[1]);
  EXPECT_EQ(sent[1], std::string(handed_out.data(), handed_out.size()));
  for (const std::string& password : sent) {
    EXPECT_EQ(password.size(), 16u);
    for (const auto& entry : log.entries())
      EXPECT_EQ(entry.text.find(password), std::string::npos) << entry.text;
  }
  // The call waited for the job: the instance runs.
  Instances instances;
  ASSERT_TRUE(boss.switch_zone("pek3a"));
  ASSERT_TRUE(boss.describe_instances_by_ids({instance_id}, instances));
  ASSERT_EQ(instances.size(), 1u);
  EXPECT_EQ(instances[0].status, "running");
  // The password travels in a POST form, in no URL.
  for (const auto& request : sim().requests_of("RunInstances")) {
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.query, "");
  }
  for (const auto& request : sim().stats().last_requests) {
    for (const std::string& password : sent)
      EXPECT_EQ(request.query.find(password), std::string::npos) << request.query;
  }
}

// Once the request went out, the platform may build the instance whatever
// the call's outcome, so the password always reaches the caller, and so does
// the id when the reply named one.  The request is sent once, also when its
// connection dies before the answer (on a kept connection libcurl would
// send it again), and then nobody knows whether the instance is being made.
TEST_F(Iaas_Client_Test, AFailedRunStillHandsOverWhatIsKnown) {
  struct Case {
    const char* what;
    Fault fault;
    bool has_id;
    bool outcome_unknown;
  };
  const Case cases[] = {
      {"the job fails", Fault::job_fails().on("RunInstances"), true, false},
      {"the platform refuses", Fault::ret_code(1400, "PermissionDenied").on("RunInstances"), false,
       false},
      {"a proxy answers 502", Fault::http_status(502, "Bad Gateway").on("RunInstances"), false,
       true},
      {"the connection dies", Fault::drop_connection().on("RunInstances"), false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sim().inject(c.fault);
    const std::size_t sent = sim().requests_of("RunInstances").size();
    std::string instance_id;
    secure_string password;
    EXPECT_FALSE(iaas->run_instance("", "centos77x64a", small_profile(), {}, {}, instance_id,
                                    nullptr, &password));
    EXPECT_EQ(sim().requests_of("RunInstances").size(), sent + 1);
    EXPECT_EQ(std::string(password.data(), password.size()),
              sim().last_request("RunInstances").param("login_passwd"));
    EXPECT_EQ(instance_id.rfind("i-", 0) == 0, c.has_id) << instance_id;
    EXPECT_EQ(iaas->outcome_unknown(), c.outcome_unknown);
  }
}

TEST_F(Iaas_Client_Test, RunInstanceChecksTheImageBeforeTheZone) {
  IAAS_Client_ptr fresh = boss.iaas_client(Simulator::OPS_USER_ID);
  sim().reset_stats();
  log.clear();
  std::string id;
  EXPECT_FALSE(fresh->run_instance("x", "", small_profile(), {}, {}, id, nullptr));
  EXPECT_TRUE(log.has_unexpected("image_id is empty"));
  EXPECT_EQ(log.messages().size(), 1u);
  EXPECT_FALSE(fresh->run_instance("x", "centos77x64a", small_profile(), {}, {}, id, nullptr));
  EXPECT_TRUE(log.has_unexpected("zone_ is NULL"));
  EXPECT_EQ(sim().requests(), 0u);
}

// The job operations: their parameters, flags as 0 and 1, and the job id
// left with the caller or waited for.
TEST_F(Iaas_Client_Test, JobOperationsSendTheirParameters) {
  struct Case {
    const char* what;
    std::function<bool(IAAS_Client&, std::string*)> call;
    const char* action;
    const char* params;
  };
  const Case cases[] = {
      {"start", [](IAAS_Client& c, std::string* j) { return c.start_instance("i-3fq9zt0d", j); },
       "StartInstances", R"({"instances":["i-3fq9zt0d"],"zone":"pek3a"})"},
      {"stop, not forced",
       [](IAAS_Client& c, std::string* j) { return c.stop_instance("i-k8s2m1qa", false, j); },
       "StopInstances", R"({"instances":["i-k8s2m1qa"],"force":"0","zone":"pek3a"})"},
      {"terminate, ceased at once",
       [](IAAS_Client& c, std::string* j) { return c.terminate_instance("i-9bv7ul3m", true, j); },
       "TerminateInstances", R"({"instances":["i-9bv7ul3m"],"direct_cease":"1","zone":"pek3a"})"},
      {"delete volumes",
       [](IAAS_Client& c, std::string* j) {
         return c.delete_volumes({"vol-f6j1c8ua", "vol-a9n3e4wq"}, j);
       },
       "DeleteVolumes", R"({"volumes":["vol-f6j1c8ua","vol-a9n3e4wq"],"zone":"pek3a"})"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sim().reset_stats();
    std::string job_id;
    EXPECT_TRUE(c.call(*iaas, &job_id));
    EXPECT_EQ(job_id.rfind("j-", 0), 0u);
    EXPECT_EQ(sim().requests(), 1u);
    const auto sent = sim().last_request(c.action);
    EXPECT_EQ(sent.method, "GET");
    EXPECT_EQ(own_params(sent), boost::json::parse(c.params));
    EXPECT_TRUE(iaas->poll_job(job_id));
  }
  // Without a job id pointer the call waits for the job.
  sim().reset_stats();
  EXPECT_TRUE(iaas->stop_instance("i-k8s2m1qb", true, nullptr));
  EXPECT_EQ(sim().last_request("StopInstances").param("force"), "1");
  EXPECT_EQ(sim().requests("DescribeJobs"), 1u);
  EXPECT_THAT(log.messages(), IsEmpty());
}

TEST_F(Iaas_Client_Test, CreatesAVolumeSizedInGiB) {
  Volume_Profile profile;
  profile.volume_type = 0;
  profile.size = 20 * GiB + 5;
  profile.repl = "rpp-00000002";
  std::string volume_id;
  ASSERT_TRUE(iaas->create_volume("data", profile, volume_id, nullptr));
  EXPECT_EQ(volume_id.rfind("vol-", 0), 0u);
  EXPECT_EQ(own_params(sim().last_request("CreateVolumes")),
            boost::json::parse(R"({"volume_name":"data","volume_type":"0","size":"20",
                                   "repl":"rpp-00000002","zone":"pek3a"})"));
  EXPECT_EQ(sim().requests("DescribeJobs"), 1u);
}

TEST_F(Iaas_Client_Test, TakesSnapshotsInPlaceAndAppendsTheirIds) {
  Ids snapshot_ids{"ss-earlier"};
  std::string job_id;
  ASSERT_TRUE(
      iaas->create_snapshots("nightly", {"vol-w3b9k2fa", "vol-f6j1c8ua"}, snapshot_ids, &job_id));
  ASSERT_EQ(snapshot_ids.size(), 3u);
  EXPECT_EQ(snapshot_ids[0], "ss-earlier");
  EXPECT_EQ(snapshot_ids[1].rfind("ss-", 0), 0u);
  EXPECT_EQ(own_params(sim().last_request("CreateSnapshots")),
            boost::json::parse(R"({"snapshot_name":"nightly",
                                   "resources":["vol-w3b9k2fa","vol-f6j1c8ua"],
                                   "is_in_place":"1","zone":"pek3a"})"));

  // Both are found again by id, as in-place snapshots.
  Snapshots snapshots;
  ASSERT_TRUE(iaas->poll_job(job_id));
  ASSERT_TRUE(iaas->describe_snapshots_by_ids({snapshot_ids[1], snapshot_ids[2]}, snapshots));
  ASSERT_EQ(snapshots.size(), 2u);
  EXPECT_EQ(snapshots[0].resource_id, "vol-w3b9k2fa");
  EXPECT_EQ(snapshots[1].resource_id, "vol-f6j1c8ua");
  EXPECT_EQ(snapshots[0].snapshot_type, 2);
}

TEST_F(Iaas_Client_Test, DescribesSnapshotsById) {
  Snapshots snapshots;
  ASSERT_TRUE(iaas->describe_snapshots_by_ids({"ss-d3k8q1wa", "ss-w7m2x9pe"}, snapshots));
  const auto sent = sim().last_request("DescribeSnapshots");
  EXPECT_EQ(sent.form_value("snapshots.1"), "ss-d3k8q1wa");
  EXPECT_EQ(sent.form_value("snapshots.2"), "ss-w7m2x9pe");
  EXPECT_EQ(sent.param("snapshot_type"), "2");
  EXPECT_EQ(sent.param("zone"), "pek3a");
  ASSERT_EQ(snapshots.size(), 1u);  // only the in-place one has type 2
  EXPECT_EQ(snapshots[0].id, "ss-w7m2x9pe");

  sim().inject(Fault::malformed_record().on("DescribeSnapshots"));
  EXPECT_FALSE(iaas->describe_snapshots_by_ids({"ss-w7m2x9pe"}, snapshots));
  EXPECT_EQ(snapshots.size(), 1u);

  // No ids: no "snapshots" filter, so every in-place snapshot of the zone.
  Snapshots all;
  ASSERT_TRUE(iaas->describe_snapshots_by_ids({}, all));
  const auto unfiltered = sim().last_request("DescribeSnapshots");
  EXPECT_EQ(unfiltered.param_list("snapshots"), std::vector<std::string>{});
  EXPECT_EQ(unfiltered.param("snapshot_type"), "2");
  ASSERT_EQ(all.size(), 1u);
  EXPECT_EQ(all[0].id, "ss-w7m2x9pe");
}

TEST_F(Iaas_Client_Test, DescribeSnapshotsTakesTheZoneOfTheParameters) {
  IAAS_Client_ptr fresh = boss.iaas_client(Simulator::DEV_USER_ID);
  Common_Client::Object params{{"zone", "sh1a"}};
  Snapshots snapshots;
  EXPECT_TRUE(fresh->describe_snapshots(
      params, Describe_Resource_Handler("snapshot_set", [&](const json_spirit::Value& page) {
        return page.get_array().size() == 1;
      })));
  EXPECT_EQ(sim().last_request("DescribeSnapshots").param("zone"), "sh1a");
}

TEST_F(Iaas_Client_Test, PollLeaseUntilActive) {
  std::string instance_id;
  sim().set_lease_seconds(5);
  ASSERT_TRUE(
      iaas->run_instance("", "centos77x64a", small_profile(), {}, {}, instance_id, nullptr));
  take_sleeps();
  testing_support::on_sleep([](std::int64_t seconds) { sim().advance_clock(seconds * 5); });
  sim().reset_stats();
  EXPECT_TRUE(iaas->poll_lease(instance_id));
  EXPECT_EQ(sim().requests("GetLeaseInfo"), 2u);
  EXPECT_THAT(take_sleeps(), ElementsAre(1));
  EXPECT_EQ(own_params(sim().last_request("GetLeaseInfo")),
            boost::json::parse(R"({"resource":")" + instance_id +
                               R"(","owner":"usr-ops00001","zone":"pek3a"})"));
}

TEST_F(Iaas_Client_Test, PollLeaseGivesUpOnAnUnreadableOrLateLease) {
  sim().inject(Fault::malformed_record().on("GetLeaseInfo"));
  EXPECT_FALSE(iaas->poll_lease("i-k8s2m1qa"));
  EXPECT_THAT(log.messages(), ElementsAre("Invalid lease format, exception: JSON Pointer path "
                                          "'/lease_info/status' not exist in JSON!.\n"));
  EXPECT_EQ(sim().requests("GetLeaseInfo"), 1u);

  log.clear();
  take_sleeps();
  sim().inject(Fault::lease_never_active().on("GetLeaseInfo").forever());
  EXPECT_FALSE(iaas->poll_lease("i-k8s2m1qa"));
  EXPECT_THAT(log.messages(), ElementsAre("Failed to wait lease of 'i-k8s2m1qa' until active.\n"));
  const std::vector<std::int64_t> sleeps = take_sleeps();
  EXPECT_EQ(std::accumulate(sleeps.begin(), sleeps.end(), std::int64_t(0)), 360);
  EXPECT_EQ(sim().requests("GetLeaseInfo"), 1u + sleeps.size() + 1u);
}

}  // namespace
}  // namespace qingcloud
