#include "tools/qingcloud_sim/platform.h"

#include <boost/json/parse.hpp>
#include <gtest/gtest.h>

#include "testing/shared_data.h"
#include "tools/qingcloud_sim/demo_inventory.h"

namespace qingcloud_sim {
namespace {

using boost::json::object;

constexpr std::int64_t T0 = 1700000000;

class Platform_Test : public ::testing::Test {
 protected:
  Platform_Test() : platform_(demo_inventory(), clock_) {
    clock_.freeze(T0);
    platform_.set_job_seconds(2);
    platform_.set_lease_seconds(5);
  }

  static Caller boss() { return Caller{DEMO_BOSS_KEY_ID, true, ""}; }
  static Caller ops() { return Caller{DEMO_OPS_KEY_ID, false, DEMO_OPS_USER_ID}; }

  object call(const std::string& action, const char* params, Caller caller = boss(),
              Call_Effects effects = {}) {
    Api_Call c{caller.back_office ? "/boss2/" : "/iaas/", action, Params::from_json_text(params),
               caller};
    return boost::json::parse(platform_.call(c, effects)).as_object();
  }

  // The error of a call as "ret_code message", or "ok".
  std::string error(const std::string& action, const char* params, Caller caller = boss()) {
    try {
      call(action, params, caller);
      return "ok";
    } catch (const Api_Error& e) {
      return std::to_string(e.ret_code()) + " " + e.what();
    }
  }

  object record(const char* action, const char* set, const std::string& filter) {
    const object reply = call(action, (R"({"zone":"pek3a",)" + filter + "}").c_str());
    const auto& records = reply.at(set).as_array();
    EXPECT_EQ(records.size(), 1u) << filter;
    return records.empty() ? object() : records[0].as_object();
  }
  object instance(const std::string& id) {
    return record("DescribeInstances", "instance_set", R"("instances":[")" + id + R"("])");
  }
  object job(const std::string& id) {
    return record("DescribeJobs", "job_set", R"("jobs":[")" + id + R"("])");
  }
  std::string job_of(const object& reply) { return std::string(reply.at("job_id").as_string()); }

  Sim_Clock clock_;
  Platform platform_;
};

TEST_F(Platform_Test, A_job_is_pending_then_working_then_successful) {
  const std::string id =
      job_of(call("StopInstances", R"({"zone":"pek3a","instances":["i-k8s2m1qa"]})"));
  EXPECT_EQ(job(id).at("status"), "pending");
  EXPECT_EQ(instance("i-k8s2m1qa").at("status"), "running");
  EXPECT_EQ(instance("i-k8s2m1qa").at("transition_status"), "stopping");
  clock_.advance(1);
  EXPECT_EQ(job(id).at("status"), "working");
  clock_.advance(1);
  EXPECT_EQ(job(id).at("status"), "successful");
  EXPECT_EQ(instance("i-k8s2m1qa").at("status"), "stopped");
  EXPECT_EQ(instance("i-k8s2m1qa").at("transition_status"), "");
  EXPECT_EQ(job(id).at("job_action"), "StopInstances");
  EXPECT_EQ(job(id).at("resource_ids"), "i-k8s2m1qa");

  platform_.set_job_seconds(0);  // ends by the next call
  const std::string start =
      job_of(call("StartInstances", R"({"zone":"pek3a","instances":["i-k8s2m1qa"]})"));
  EXPECT_EQ(job(start).at("status"), "successful");
  EXPECT_EQ(instance("i-k8s2m1qa").at("status"), "running");
}

TEST_F(Platform_Test, A_failing_job_leaves_its_resources_as_they_were) {
  const std::string id =
      job_of(call("StopInstances", R"({"zone":"pek3a","instances":["i-k8s2m1qa"]})", boss(),
                  Call_Effects{true, false}));
  clock_.advance(2);
  EXPECT_EQ(job(id).at("status"), "failed");
  EXPECT_EQ(instance("i-k8s2m1qa").at("status"), "running");
  EXPECT_EQ(instance("i-k8s2m1qa").at("transition_status"), "");
}

TEST_F(Platform_Test, State_rules) {
  const std::string FW_COMMA = "\xEF\xBC\x8C";
  struct Case {
    const char* action;
    const char* params;
    std::string expected;
  };
  const Case cases[] = {
      {"StartInstances", R"({"instances":["i-k8s2m1qa"]})",
       "1400 PermissionDenied, instance [i-k8s2m1qa] is not stopped" + FW_COMMA +
           " can not be started"},
      // Several states would do: the message names the one it is in.
      {"TerminateInstances", R"({"instances":["i-5mr1cg8w"]})",
       "1400 PermissionDenied, instance [i-5mr1cg8w] is pending" + FW_COMMA +
           " can not be terminated"},
      {"CreateSnapshots", R"({"resources":["i-5mr1cg8w"]})",
       "1400 PermissionDenied, instance [i-5mr1cg8w] is pending" + FW_COMMA +
           " can not be snapshotted"},
      {"DeleteVolumes", R"({"volumes":["vol-w3b9k2fa"]})",
       "1400 PermissionDenied, volume [vol-w3b9k2fa] is not available" + FW_COMMA +
           " can not be deleted"},
      {"StartInstances", R"({"instances":["i-nothere"]})",
       "2100 ResourceNotFound, resource [i-nothere] not found"},
      {"StartInstances", R"({"instances":[]})",
       "1100 ParameterError, parameter [instances] is required"},
      {"StopInstances", R"({"instances":["i-k8s2m1qa"],"force":2})",
       "1100 ParameterError, the value of parameter [force] should be 0 or 1"},
      {"MigrateInstances", R"({"instances":["i-k8s2m1qa"],"target_host":"pek3ar02n02"})",
       "1400 PermissionDenied, host [pek3ar02n02] is not active" + FW_COMMA +
           " can not take instances"},
      {"MigrateInstances", R"({"instances":["i-k8s2m1qa"],"target_host":"nowhere"})",
       "2100 ResourceNotFound, resource [nowhere] not found"},
      {"MigrateInstances", R"({"instances":[],"target_host":"pek3ar01n02"})",
       "1100 ParameterError, parameter [instances] is required"},
  };
  for (const Case& c : cases) {
    std::string params = std::string(c.params);
    params.insert(1, R"("zone":"pek3a",)");
    EXPECT_EQ(error(c.action, params.c_str()), c.expected) << c.action << " " << c.params;
  }
  // A resource in transition is busy.
  call("StopInstances", R"({"zone":"pek3a","instances":["i-k8s2m1qa"]})");
  EXPECT_EQ(
      error("StopInstances", R"({"zone":"pek3a","instances":["i-k8s2m1qa"]})"),
      "1400 PermissionDenied, instance [i-k8s2m1qa] is stopping" + FW_COMMA + " please try later");
}

TEST_F(Platform_Test, Stopping_a_stopped_instance_is_refused_as_the_platform_words_it) {
  const object sample =
      boost::json::parse(
          testing_support::read_file(testing_support::shared_dir() +
                                     "/testdata/qingcloud/Error_1400_PermissionDenied.json"))
          .as_object();
  std::string expected(sample.at("message").as_string());
  const std::string sample_id = "i-2aypaijz";
  expected.replace(expected.find(sample_id), sample_id.size(), "i-3fq9zt0d");
  EXPECT_EQ(error("StopInstances", R"({"zone":"pek3a","instances":["i-3fq9zt0d"]})"),
            std::to_string(sample.at("ret_code").as_int64()) + " " + expected);
}

TEST_F(Platform_Test, Leases_ripen_and_guard_terminate_and_delete) {
  const object run =
      call("RunInstances",
           R"({"zone":"pek3a","image_id":"centos77x64a","instance_type":"s1.small.r1",
                              "login_mode":"passwd","login_passwd":"Bootstrap7",
                              "instance_class":101,"vxnets":["vxnet-0"]})",
           ops());
  const std::string id(run.at("instances").as_array().at(0).as_string());
  EXPECT_EQ(instance(id).at("status"), "pending");
  EXPECT_EQ(instance(id).at("owner"), DEMO_OPS_USER_ID);
  auto lease = [&] {
    return call("GetLeaseInfo",
                (R"({"zone":"pek3a","resource":")" + id + R"(","owner":"usr-ops00001"})").c_str(),
                ops())
        .at("lease_info")
        .at("status");
  };
  EXPECT_EQ(lease(), "pending");
  clock_.advance(2);
  EXPECT_EQ(instance(id).at("status"), "running");
  EXPECT_EQ(
      error("TerminateInstances", (R"({"zone":"pek3a","instances":[")" + id + R"("]})").c_str(),
            ops()),
      "1400 PermissionDenied, resource [" + id + "] lease info not ready yet, please try later");
  clock_.advance(3);
  EXPECT_EQ(lease(), "active");
  job_of(call("TerminateInstances", (R"({"zone":"pek3a","instances":[")" + id + R"("]})").c_str(),
              ops()));
  clock_.advance(2);
  EXPECT_EQ(instance(id).at("status"), "terminated");

  // Volumes: the same guard, then only available ones may go.
  const object created = call("CreateVolumes", R"({"zone":"pek3a","size":20,"volume_name":"v"})");
  const std::string vol(created.at("volumes").as_array().at(0).as_string());
  const std::string del = R"({"zone":"pek3a","volumes":[")" + vol + R"("]})";
  EXPECT_EQ(
      error("DeleteVolumes", del.c_str()),
      "1400 PermissionDenied, resource [" + vol + "] lease info not ready yet, please try later");
  clock_.advance(5);
  job_of(call("DeleteVolumes", del.c_str()));
  clock_.advance(2);
  EXPECT_EQ(record("DescribeVolumes", "volume_set", R"("volumes":[")" + vol + R"("])").at("status"),
            "deleted");
}

TEST_F(Platform_Test, A_held_lease_never_becomes_active) {
  const object created =
      call("CreateVolumes", R"({"zone":"pek3a","size":10})", boss(), Call_Effects{false, true});
  const std::string vol(created.at("volumes").as_array().at(0).as_string());
  clock_.advance(100000);
  EXPECT_EQ(call("GetLeaseInfo", (R"({"zone":"pek3a","resource":")" + vol + R"("})").c_str())
                .at("lease_info")
                .at("status"),
            "pending");
  // Querying with the effect holds an existing lease too.
  call("GetLeaseInfo", R"({"zone":"pek3a","resource":"i-k8s2m1qa"})", boss(),
       Call_Effects{false, true});
  EXPECT_EQ(call("GetLeaseInfo", R"({"zone":"pek3a","resource":"i-k8s2m1qa"})")
                .at("lease_info")
                .at("status"),
            "pending");
}

TEST_F(Platform_Test, Snapshots_and_migration) {
  const object snap = call("CreateSnapshots",
                           R"({"zone":"pek3a","resources":["vol-d8q4m1zr"],"snapshot_name":"s",
                               "is_in_place":1})");
  const std::string ss(snap.at("snapshots").as_array().at(0).as_string());
  clock_.advance(2);
  const object s = record("DescribeSnapshots", "snapshot_set",
                          R"("snapshots":[")" + ss + R"("],"snapshot_type":"2")");
  EXPECT_EQ(s.at("status"), "available");
  EXPECT_EQ(s.at("resource").at("resource_id"), "vol-d8q4m1zr");

  call("MigrateInstances",
       R"({"zone":"pek3a","instances":["i-k8s2m1qa"],"target_host":"pek3ar02n01",
                              "audit_log":"Use API to migrate instances"})");
  EXPECT_EQ(instance("i-k8s2m1qa").at("transition_status"), "migrating");
  clock_.advance(2);
  EXPECT_EQ(instance("i-k8s2m1qa").at("host_machine"), "pek3ar02n01");
}

TEST_F(Platform_Test, Run_instances_checks) {
  const std::string BAD = "1100 ParameterError, the value of parameter ";
  const std::string CPUS = BAD + "[cpu] should be one of 1, 2, 4, 8, 16";
  const std::string MEMORY =
      BAD + "[memory] should be one of 1024, 2048, 4096, 6144, 8192, 12288, 16384, 24576, 32768";
  const std::string TYPE = BAD + "[instance_type] is not a known instance type";
  struct Case {
    const char* image;
    const char* rest;
    std::string expected;  // the error, or "type cpu memory disk" of the new instance
  };
  const Case cases[] = {
      {"centos77x64a", R"("cpu":1,"memory":1024)", "c1m1 1 1024 20"},
      {"centos77x64a", R"("instance_type":"small_b")", "small_b 1 2048 20"},
      {"centos77x64a", R"("instance_type":"medium_c")", "medium_c 2 8192 20"},
      {"centos77x64a", R"("instance_type":"large_c")", "large_c 4 16384 20"},
      {"centos77x64a", R"("instance_type":"c2m6")", "c2m6 2 6144 20"},
      {"centos77x64a", R"("instance_type":"c16m32")", "c16m32 16 32768 20"},
      {"centos77x64a", R"("instance_type":"s1.large.r2","cpu":4)", "s1.large.r2 4 4096 20"},
      {"centos77x64a", R"("cpu":16,"memory":32768,"os_disk_size":100)", "c16m32 16 32768 100"},
      {"win2019x64a", R"("cpu":2,"memory":4096)", "c2m4 2 4096 50"},
      {"img-d7xv9c3e", R"("cpu":1,"memory":1024)", "c1m1 1 1024 20"},  // any, for the back office
      {"centos77x64a", R"("instance_type":"huge")", TYPE},
      {"centos77x64a", R"("instance_type":"c3m4")", TYPE},
      {"centos77x64a", R"("instance_type":"c2m3")", TYPE},
      {"centos77x64a", R"("instance_type":"c02m4")", TYPE},
      {"centos77x64a", R"("instance_type":"small_a")", TYPE},
      // Sent values count, 0 included: the client sends all three always.
      {"centos77x64a", R"("instance_type":"s1.small.r1","cpu":0,"memory":0,"os_disk_size":0)",
       CPUS},
      {"centos77x64a", R"("instance_type":"s1.small.r1","memory":0)", MEMORY},
      {"centos77x64a", R"("instance_type":"s1.small.r1","os_disk_size":0)",
       BAD + "[os_disk_size] should be 20 to 100"},
      {"centos77x64a", R"("cpu":3,"memory":1024)", CPUS},
      {"centos77x64a", R"("cpu":1,"memory":3072)", MEMORY},
      {"centos77x64a", R"("memory":1024)", "1100 ParameterError, parameter [cpu] is required"},
      {"centos77x64a", R"("cpu":1)", "1100 ParameterError, parameter [memory] is required"},
      {"centos77x64a", R"("cpu":1,"memory":1024,"os_disk_size":10)",
       BAD + "[os_disk_size] should be 20 to 100"},
      {"centos77x64a", R"("cpu":1,"memory":1024,"os_disk_size":101)",
       BAD + "[os_disk_size] should be 20 to 100"},
      {"win2019x64a", R"("cpu":1,"memory":1024,"os_disk_size":40)",
       BAD + "[os_disk_size] should be 50 to 100"},
      {"centos77x64a", R"("cpu":1,"memory":1024,"count":0)", BAD + "[count] should be 1 to 100"},
      {"centos77x64a", R"("cpu":1,"memory":1024,"volumes":["vol-f6j1c8ua"],"count":2)",
       "1100 ParameterError, volumes can be attached only when count is 1"},
      {"centos77x64a", R"("cpu":1,"memory":1024,"volumes":["vol-w3b9k2fa"])",
       "1400 PermissionDenied, volume [vol-w3b9k2fa] is not available\xEF\xBC\x8C can not be "
       "attached"},
      {"centos77x64a", R"("cpu":1,"memory":1024,"vxnets":["vxnet-none"])",
       "2100 ResourceNotFound, resource [vxnet-none] not found"},
      {"img-none", R"("cpu":1,"memory":1024)",
       "2100 ResourceNotFound, resource [img-none] not found"},
  };
  for (const Case& c : cases) {
    const std::string params =
        std::string(R"({"zone":"pek3a","login_mode":"passwd","login_passwd":"Bootstrap7",)") +
        R"("image_id":")" + c.image + R"(",)" + c.rest + "}";
    SCOPED_TRACE(params);
    std::string outcome = error("RunInstances", params.c_str());
    if (outcome == "ok") {
      const object reply = call("RunInstances", params.c_str());
      const object i = instance(std::string(reply.at("instances").at(0).as_string()));
      outcome = std::string(i.at("instance_type").as_string()) + " " +
                std::to_string(i.at("vcpus_current").as_int64()) + " " +
                std::to_string(i.at("memory_current").as_int64()) + " " +
                std::to_string(i.at("extra").at("os_disk_size").as_int64());
    }
    EXPECT_EQ(outcome, c.expected);
  }
  EXPECT_EQ(error("RunInstances", R"({"zone":"pek3a","image_id":"centos77x64a","cpu":1,
                                      "memory":1024,"login_mode":"passwd","login_passwd":"weak"})")
                .substr(0, 4),
            "1100");
}

TEST_F(Platform_Test, Create_volumes_checks) {
  const std::string SIZE = "1100 ParameterError, the value of parameter [size] should be ";
  struct Case {
    const char* params;
    std::string expected;  // the error, or "volume_type size" of the new volume
  };
  const Case cases[] = {
      {R"("size":10)", "0 10"},
      {R"("size":1000,"volume_type":0)", "0 1000"},
      {R"("size":1010,"volume_type":0)",
       SIZE + "a multiple of 10 from 10 to 1000 for volume_type 0"},
      {R"("size":2000,"volume_type":1)", "1 2000"},
      {R"("size":2010,"volume_type":1)",
       SIZE + "a multiple of 10 from 10 to 2000 for volume_type 1"},
      {R"("size":100,"volume_type":2)", "2 100"},
      {R"("size":5000,"volume_type":2)", "2 5000"},
      {R"("size":90,"volume_type":2)",
       SIZE + "a multiple of 10 from 100 to 5000 for volume_type 2"},
      {R"("size":10,"volume_type":3)", "3 10"},
      {R"("size":50000,"volume_type":5)", "5 50000"},
      {R"("size":90,"volume_type":5)",
       SIZE + "a multiple of 10 from 100 to 50000 for volume_type 5"},
      {R"("size":2000,"volume_type":6)", "6 2000"},
      {R"("size":2000,"volume_type":10)", "10 2000"},
      {R"("size":15)", SIZE + "a multiple of 10 from 10 to 1000 for volume_type 0"},
      {R"("size":0)", SIZE + "a multiple of 10 from 10 to 1000 for volume_type 0"},
      {R"("size":20,"volume_type":4)",
       "1100 ParameterError, the value of parameter [volume_type] should be one of 0, 1, 2, 3, 5, "
       "6, 10"},
      {R"("volume_type":0)", "1100 ParameterError, parameter [size] is required"},
  };
  for (const Case& c : cases) {
    const std::string params = std::string(R"({"zone":"pek3a",)") + c.params + "}";
    SCOPED_TRACE(params);
    std::string outcome = error("CreateVolumes", params.c_str());
    if (outcome == "ok") {
      const object reply = call("CreateVolumes", params.c_str());
      const object v =
          record("DescribeVolumes", "volume_set",
                 R"("volumes":[")" + std::string(reply.at("volumes").at(0).as_string()) + R"("])");
      outcome = std::to_string(v.at("volume_type").as_int64()) + " " +
                std::to_string(v.at("size").as_int64());
    }
    EXPECT_EQ(outcome, c.expected);
  }
}

TEST_F(Platform_Test, Listings_keep_gone_records_unless_a_status_filter_leaves_them_out) {
  platform_.set_job_seconds(0);
  platform_.set_lease_seconds(0);
  call("TerminateInstances", R"({"zone":"pek3a","instances":["i-6hw2ne4r"],"direct_cease":1})");
  call("DeleteVolumes", R"({"zone":"pek3a","volumes":["vol-f6j1c8ua"]})");
  struct Case {
    const char* action;
    const char* set;
    const char* id_key;
    std::string filter;
    std::vector<std::string> expected;  // "id status"
  };
  const Case cases[] = {
      {"DescribeInstances",
       "instance_set",
       "instance_id",
       R"("instances":["i-6hw2ne4r","i-9bv7ul3m"])",
       {"i-6hw2ne4r ceased", "i-9bv7ul3m running"}},
      {"DescribeInstances",
       "instance_set",
       "instance_id",
       R"("instances":["i-6hw2ne4r","i-9bv7ul3m"],"status":["running"])",
       {"i-9bv7ul3m running"}},
      {"DescribeVolumes",
       "volume_set",
       "volume_id",
       R"("volumes":["vol-f6j1c8ua","vol-a9n3e4wq"])",
       {"vol-f6j1c8ua deleted", "vol-a9n3e4wq available"}},
      {"DescribeVolumes",
       "volume_set",
       "volume_id",
       R"("volumes":["vol-f6j1c8ua","vol-a9n3e4wq"],"status":["deleted"])",
       {"vol-f6j1c8ua deleted"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.filter);
    const object reply = call(c.action, (R"({"zone":"pek3a",)" + c.filter + "}").c_str());
    std::vector<std::string> found;
    for (const auto& r : reply.at(c.set).as_array())
      found.push_back(std::string(r.at(c.id_key).as_string()) + " " +
                      std::string(r.at("status").as_string()));
    EXPECT_EQ(found, c.expected);
    EXPECT_EQ(reply.at("total_count"), static_cast<std::int64_t>(c.expected.size()));
  }
}

TEST_F(Platform_Test, Lease_info_checks_the_owner_under_either_name) {
  const std::pair<const char*, const char*> cases[] = {
      {"", "ok"},
      {R"(,"user":"usr-ops00001")", "ok"},
      {R"(,"owner":"usr-ops00001")", "ok"},
      {R"(,"user":"usr-ops00001","owner":"usr-ops00001")", "ok"},
      {R"(,"user":"usr-dev00001")", "2100 ResourceNotFound, resource [i-k8s2m1qa] not found"},
      {R"(,"owner":"usr-dev00001")", "2100 ResourceNotFound, resource [i-k8s2m1qa] not found"},
      {R"(,"user":"usr-ops00001","owner":"usr-dev00001")",
       "2100 ResourceNotFound, resource [i-k8s2m1qa] not found"},
  };
  for (const auto& [rest, expected] : cases) {
    const std::string params =
        std::string(R"({"zone":"pek3a","resource":"i-k8s2m1qa")") + rest + "}";
    EXPECT_EQ(error("GetLeaseInfo", params.c_str()), expected) << params;
  }
}

TEST_F(Platform_Test, Zones_actions_and_keys) {
  EXPECT_EQ(error("DescribeInstances", "{}"), "1100 ParameterError, parameter [zone] is required");
  EXPECT_EQ(error("DescribeInstances", R"({"zone":"mars1"})").substr(0, 4), "1100");
  EXPECT_EQ(error("RebootTheWorld", "{}"),
            "1101 InvalidAction, the action [RebootTheWorld] is not supported");
  EXPECT_EQ(error("DescribeUsers", "{}", ops()).substr(0, 4), "1400");
  EXPECT_EQ(error("DescribeZones", "{}", ops()), "ok");

  Key_Info key;
  EXPECT_TRUE(platform_.find_key(DEMO_BOSS_KEY_ID, &key));
  EXPECT_TRUE(key.back_office);
  EXPECT_TRUE(platform_.find_key(DEMO_DEV_KEY_ID, &key));
  EXPECT_EQ(key.secret, DEMO_DEV_SECRET);
  EXPECT_EQ(key.user_id, DEMO_DEV_USER_ID);
  EXPECT_FALSE(platform_.find_key("QYNOBODY", &key));
}

}  // namespace
}  // namespace qingcloud_sim
