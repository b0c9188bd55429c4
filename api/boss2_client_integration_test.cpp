// The back-office client against the QingCloud API simulator, over the wire.
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <boost/json/parse.hpp>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "api/boss2_client.h"
#include "api/iaas_client.h"
#include "host/http/http_tls_context.h"
#include "testing/freed_memory_watch.h"
#include "testing/log_capture.h"
#include "testing/nothrow_new_failure.h"
#include "testing/simulator.h"
#include "testing/test_certificate.h"
#include "tools/qingcloud_sim/record_defaults.h"

namespace qingcloud {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using testing_support::own_params;
using testing_support::Simulator;
using Fault = Simulator::Fault;
using Ids = std::vector<std::string>;

template <class Records>
Ids ids_of(const Records& records) {
  Ids ids;
  for (const auto& r : records)
    ids.push_back(r.id);
  return ids;
}

class Boss2_Client_Test : public testing_support::Simulator_Test {
 protected:
  void SetUp() override {
    Simulator_Test::SetUp();
    ASSERT_TRUE(log_in(client));
    sim().reset_stats();
  }

  bool log_in(BOSS2_Client& c) {
    return c.login(sim().host(), static_cast<std::uint16_t>(sim().port()), false,
                   secure_string(Simulator::BOSS_KEY_ID), secure_string(Simulator::BOSS_SECRET));
  }

  testing_support::Log_Capture log;
  BOSS2_Client client{Simulator::VERSION, "127.0.0.1"};
};

// Each describe operation: its action, exactly the parameters it adds, and
// the records it loaded, in the platform's order.
TEST_F(Boss2_Client_Test, DescribeOperationsSendTheirFiltersAndLoadTheRecords) {
  struct Case {
    const char* what;
    std::function<bool(BOSS2_Client&, Ids&)> call;
    const char* action;
    const char* params;
    Ids ids;
  };
  const Case cases[] = {
      {"active users",
       [](BOSS2_Client& c, Ids& ids) {
         Users users;
         bool ok = c.describe_users(users);
         ids = ids_of(users);
         return ok;
       },
       "DescribeUsers",
       R"({"status":["active"]})",
       {"usr-ops00001", "usr-dev00001"}},
      {"users by id",
       [](BOSS2_Client& c, Ids& ids) {
         Users users;
         bool ok = c.describe_users_by_ids({"usr-dev00001"}, users);
         ids = ids_of(users);
         return ok;
       },
       "DescribeUsers",
       R"({"users":["usr-dev00001"],"status":["active"]})",
       {"usr-dev00001"}},
      {"access keys",
       [](BOSS2_Client& c, Ids& ids) {
         Access_Keys keys;
         bool ok = c.describe_access_keys("usr-ops00001", keys);
         for (const Access_Key& k : keys)
           ids.emplace_back(k.access_key_id.data(), k.access_key_id.size());
         return ok;
       },
       "DescribeAccessKeys",
       R"({"status":["active"],"owner":"usr-ops00001"})",
       {Simulator::OPS_KEY_ID}},
      {"active hosts",
       [](BOSS2_Client& c, Ids& ids) {
         Hosts hosts;
         bool ok = c.describe_bots(hosts);
         ids = ids_of(hosts);
         return ok;
       },
       "Boss2DescribeBots",
       R"({"status":["active"],"zone":"pek3a"})",
       {"pek3ar01n01", "pek3ar01n02", "pek3ar02n01"}},
      {"hosts by id, in any state",
       [](BOSS2_Client& c, Ids& ids) {
         Hosts hosts;
         bool ok = c.describe_bots_by_ids({"pek3ar02n02", "pek3ar01n01"}, hosts);
         ids = ids_of(hosts);
         return ok;
       },
       "Boss2GetBotsBasicInfo",
       R"({"bots":["pek3ar02n02","pek3ar01n01"],"verbose":1,"zone":"pek3a"})",
       {"pek3ar01n01", "pek3ar02n02"}},
      {"instances of the zone",
       [](BOSS2_Client& c, Ids& ids) {
         Instances instances;
         bool ok = c.describe_instances(instances);
         ids = ids_of(instances);
         return ok;
       },
       "DescribeInstances",
       R"({"status":["running","stopped"],"controller":"self","zone":"pek3a"})",
       {"i-k8s2m1qa", "i-k8s2m1qb", "i-3fq9zt0c", "i-3fq9zt0d", "i-6hw2ne4r", "i-9bv7ul3m",
        "i-2qd8kx5s", "i-0pz4hy7t", "i-4nl6sd2h", "i-7ck5wb9p", "i-1gy8qm3z", "i-6ux2jr7k"}},
      {"instance search",
       [](BOSS2_Client& c, Ids& ids) {
         Instances instances;
         bool ok = c.search_instances("WEB", instances);
         ids = ids_of(instances);
         return ok;
       },
       "DescribeInstances",
       R"({"search_word":"WEB","status":["running","stopped"],"controller":"self",
           "zone":"pek3a"})",
       {"i-k8s2m1qa", "i-k8s2m1qb"}},
      {"instances on a host",
       [](BOSS2_Client& c, Ids& ids) {
         Instances instances;
         bool ok = c.describe_instances_by_host("pek3ar02n01", instances);
         ids = ids_of(instances);
         return ok;
       },
       "DescribeInstances",
       R"({"host_machine":"pek3ar02n01","status":["running","stopped"],"controller":"self",
           "zone":"pek3a"})",
       {"i-3fq9zt0c", "i-3fq9zt0d", "i-2qd8kx5s", "i-7ck5wb9p", "i-1gy8qm3z"}},
      {"instances by id (a suspended one is not found)",
       [](BOSS2_Client& c, Ids& ids) {
         Instances instances;
         bool ok = c.describe_instances_by_ids({"i-3fq9zt0d", "i-3ea9tn1v"}, instances);
         ids = ids_of(instances);
         return ok;
       },
       "DescribeInstances",
       R"({"instances":["i-3fq9zt0d","i-3ea9tn1v"],"status":["running","stopped"],
           "controller":"self","zone":"pek3a"})",
       {"i-3fq9zt0d"}},
      {"instances of a zone named in the parameters, in every state",
       [](BOSS2_Client& c, Ids& ids) {
         Instances instances;
         Common_Client::Object params{{"zone", "sh1a"}, {"owner", "usr-dev00001"}};
         bool ok = c.describe_instances(params, instances);
         ids = ids_of(instances);
         return ok && params.at("zone").get_str() == "sh1a";
       },
       "DescribeInstances",
       R"({"zone":"sh1a","owner":"usr-dev00001"})",
       {"i-s6k9wy1j", "i-s7p3dl8c", "i-s8g6rm4x", "i-s9t1hf5q", "i-s0b8jk2u"}},
      {"networks of every type but the base ones",
       [](BOSS2_Client& c, Ids& ids) {
         Vxnets vxnets;
         bool ok = c.describe_vxnets(vxnets);
         ids = ids_of(vxnets);
         return ok;
       },
       "DescribeVxnets",
       R"({"vxnet_type":[0,1,2],"excluded_vxnets":["vxnet-0","vxnet-1"],"zone":"pek3a"})",
       {"vxnet-k3mf8qa", "vxnet-p7tn2xe", "vxnet-w9c4rdy", "vxnet-d2hq6lv", "vxnet-f5zb8um"}},
      {"networks by id",
       [](BOSS2_Client& c, Ids& ids) {
         Vxnets vxnets;
         bool ok = c.describe_vxnets_by_ids({"vxnet-0", "vxnet-p7tn2xe"}, vxnets);
         ids = ids_of(vxnets);
         return ok;
       },
       "DescribeVxnets",
       R"({"vxnets":["vxnet-0","vxnet-p7tn2xe"],"vxnet_type":[0,1,2],
           "excluded_vxnets":["vxnet-0","vxnet-1"],"zone":"pek3a"})",
       {"vxnet-p7tn2xe"}},
      {"volumes by id",
       [](BOSS2_Client& c, Ids& ids) {
         Volumes volumes;
         bool ok = c.describe_volumes_by_ids({"vol-f6j1c8ua", "vol-w3b9k2fa"}, volumes);
         ids = ids_of(volumes);
         return ok;
       },
       "DescribeVolumes",
       R"({"volumes":["vol-f6j1c8ua","vol-w3b9k2fa"],"status":["in-use","available"],
           "zone":"pek3a"})",
       {"vol-w3b9k2fa", "vol-f6j1c8ua"}},
  };
  ASSERT_TRUE(client.switch_zone("pek3a"));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sim().reset_stats();
    Ids ids;
    EXPECT_TRUE(c.call(client, ids));
    EXPECT_EQ(ids, c.ids);
    ASSERT_EQ(sim().requests(), 1u);
    const auto sent = sim().last_request();
    EXPECT_EQ(sent.action, c.action);
    EXPECT_EQ(sent.method, "POST");
    EXPECT_EQ(sent.path, "/boss2/");
    EXPECT_EQ(own_params(sent), boost::json::parse(c.params));
  }
  EXPECT_THAT(log.messages(), ::testing::IsEmpty());
}

// Operations that need a current zone check it first; the _by_ids
// operations answer an empty list at once (after the zone, where they need
// one).  Nothing is sent either way.
TEST_F(Boss2_Client_Test, PreconditionsComeBeforeAnyRequest) {
  struct Case {
    const char* what;
    std::function<bool(BOSS2_Client&)> call;
    bool result;
  };
  std::string job_id;
  const Case cases[] = {
      {"describe_bots",
       [](BOSS2_Client& c) {
         Hosts h;
         return c.describe_bots(h);
       },
       false},
      {"describe_bots_by_ids, empty list",
       [](BOSS2_Client& c) {
         Hosts h;
         return c.describe_bots_by_ids({}, h);
       },
       false},
      {"describe_volumes_by_ids, empty list",
       [](BOSS2_Client& c) {
         Volumes v;
         return c.describe_volumes_by_ids({}, v);
       },
       false},
      {"migrate_instances",
       [&](BOSS2_Client& c) { return c.migrate_instances({"i-k8s2m1qa"}, "pek3ar01n02", &job_id); },
       false},
      {"describe_instances",
       [](BOSS2_Client& c) {
         Instances i;
         return c.describe_instances(i);
       },
       false},
      {"describe_vxnets",
       [](BOSS2_Client& c) {
         Vxnets v;
         return c.describe_vxnets(v);
       },
       false},
      {"describe_users_by_ids, empty list",
       [](BOSS2_Client& c) {
         Users u;
         return c.describe_users_by_ids({}, u);
       },
       true},
      {"describe_instances_by_ids, empty list",
       [](BOSS2_Client& c) {
         Instances i;
         return c.describe_instances_by_ids({}, i);
       },
       true},
      {"describe_vxnets_by_ids, empty list",
       [](BOSS2_Client& c) {
         Vxnets v;
         return c.describe_vxnets_by_ids({}, v);
       },
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    log.clear();
    EXPECT_EQ(c.call(client), c.result);
    EXPECT_EQ(log.has_unexpected("zone_ is NULL"), !c.result);
    EXPECT_EQ(log.messages().size(), c.result ? 0u : 1u);
  }
  ASSERT_TRUE(client.switch_zone("sh1a"));
  Hosts hosts;
  Volumes volumes;
  EXPECT_TRUE(client.describe_bots_by_ids({}, hosts));
  EXPECT_TRUE(client.describe_volumes_by_ids({}, volumes));
  EXPECT_EQ(sim().requests(), 0u);
}

TEST_F(Boss2_Client_Test, OperationsAppendToTheCallersVector) {
  Users users;
  ASSERT_TRUE(client.describe_users(users));
  ASSERT_TRUE(client.describe_users_by_ids({"usr-ops00001"}, users));
  EXPECT_THAT(ids_of(users), ElementsAre("usr-ops00001", "usr-dev00001", "usr-ops00001"));
}

TEST_F(Boss2_Client_Test, OnlyHostsByIdCarryTheirDiskFigures) {
  ASSERT_TRUE(client.switch_zone("pek3a"));
  Hosts listed, by_id;
  ASSERT_TRUE(client.describe_bots(listed));
  ASSERT_TRUE(client.describe_bots_by_ids({"pek3ar01n01"}, by_id));
  EXPECT_EQ(listed.front().free_disk, 0.0);
  ASSERT_EQ(by_id.size(), 1u);
  EXPECT_EQ(by_id.front().free_disk, 3276.5);
  EXPECT_EQ(by_id.front().used_disk, 819.5);
  EXPECT_EQ(by_id.front().container_mode, "kvm");
}

TEST_F(Boss2_Client_Test, MigratesInstancesAsAJob) {
  ASSERT_TRUE(client.switch_zone("pek3a"));
  std::string job_id;
  ASSERT_TRUE(client.migrate_instances({"i-k8s2m1qa", "i-6hw2ne4r"}, "pek3ar02n01", &job_id));
  EXPECT_EQ(job_id.rfind("j-", 0), 0u);
  EXPECT_EQ(own_params(sim().last_request("MigrateInstances")),
            boost::json::parse(R"({"audit_log":"Use API to migrate instances",
                                   "target_host":"pek3ar02n01",
                                   "instances":["i-k8s2m1qa","i-6hw2ne4r"],"zone":"pek3a"})"));
  EXPECT_EQ(sim().requests("DescribeJobs"), 0u);
  EXPECT_TRUE(client.poll_job(job_id));

  // Waiting for the job itself; an empty list is still sent, and refused.
  EXPECT_TRUE(client.migrate_instances({"i-k8s2m1qb"}, "pek3ar02n01", nullptr));
  EXPECT_EQ(sim().requests("DescribeJobs"), 2u);
  EXPECT_FALSE(client.migrate_instances({}, "pek3ar02n01", nullptr));
  EXPECT_EQ(client.err_code(), 1100);
  EXPECT_EQ(own_params(sim().last_request("MigrateInstances")).at("instances"),
            boost::json::array());
}

// The user "ops" with a second active key, "dev" disabled, and "nokey"
// without a key of its own.
qingcloud_sim::Inventory users_inventory() {
  qingcloud_sim::Inventory inventory = qingcloud_sim::demo_inventory();
  inventory.users.find(Simulator::DEV_USER_ID)->set("status", "disabled");
  inventory.users.add(qingcloud_sim::make_user(boost::json::object{
      {"user_id", "usr-nokey001"}, {"user_name", "nokey"}, {"status", "active"}}));
  inventory.access_keys.add(
      qingcloud_sim::make_access_key(boost::json::object{{"access_key_id", "QYDEMOOPS00000000002"},
                                                         {"secret_access_key", "demo-ops-secret-2"},
                                                         {"owner", Simulator::OPS_USER_ID},
                                                         {"status", "active"}}));
  return inventory;
}

class Test_BOSS2_Client : public BOSS2_Client {
 public:
  using BOSS2_Client::BOSS2_Client;
  void set_clock(std::time_t (*clock)()) { clock_ = clock; }
};

class Iaas_Client_Factory_Test : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(boss.login(sim.host(), static_cast<std::uint16_t>(sim.port()), false,
                           secure_string(Simulator::BOSS_KEY_ID),
                           secure_string(Simulator::BOSS_SECRET)));
    sim.reset_stats();
  }

  Simulator sim{Simulator::test_options(), users_inventory};
  testing_support::Log_Capture log;
  Test_BOSS2_Client boss{Simulator::VERSION, "127.0.0.1"};
};

TEST_F(Iaas_Client_Factory_Test, UsersThatCannotActGetNoClient) {
  struct Case {
    const char* user_id;
    const char* message;
    std::uint64_t requests;
  };
  const Case cases[] = {
      {"usr-nobody01", "Failed to get user 'usr-nobody01' info.\n", 1},
      {Simulator::DEV_USER_ID, "Failed to get user 'usr-dev00001' info.\n", 1},
      {"usr-nokey001", "Failed to get access keys of user 'usr-nokey001'.\n", 2},
  };
  for (const Case& c : cases) {
    sim.reset_stats();
    log.clear();
    EXPECT_EQ(boss.iaas_client(c.user_id), nullptr) << c.user_id;
    EXPECT_THAT(log.messages(), ElementsAre(c.message));
    EXPECT_EQ(sim.requests(), c.requests) << c.user_id;
  }
}

TEST_F(Iaas_Client_Factory_Test, PicksTheKeyByTheSecond) {
  const std::pair<std::time_t (*)(), const char*> cases[] = {
      {[] { return std::time_t(1700000000); }, "QYDEMOOPS00000000001"},
      {[] { return std::time_t(1700000001); }, "QYDEMOOPS00000000002"},
  };
  for (const auto& [clock, key_id] : cases) {
    boss.set_clock(clock);
    IAAS_Client_ptr iaas = boss.iaas_client(Simulator::OPS_USER_ID);
    ASSERT_NE(iaas, nullptr);
    const auto login = sim.last_request("DescribeZones");
    EXPECT_EQ(login.path, "/iaas/");
    EXPECT_EQ(login.method, "GET");
    EXPECT_EQ(login.form_value("access_key_id"), key_id);
    EXPECT_EQ(iaas->owner(), Simulator::OPS_USER_ID);
    EXPECT_EQ(iaas->version(), Simulator::VERSION);
    EXPECT_THAT(iaas->zones(), ElementsAre("pek3a", "sh1a"));
    EXPECT_FALSE(iaas->zone());
  }
  const auto keys = sim.last_request("DescribeAccessKeys");
  EXPECT_EQ(own_params(keys),
            boost::json::parse(R"({"status":["active"],"owner":"usr-ops00001"})"));
  EXPECT_THAT(log.messages(), ::testing::IsEmpty());
}

// "DescribeAccessKeys" answers with the user's secret key: nothing that
// carried or read the reply (libcurl, TLS, the reply text, the JSON values,
// the records) leaves a copy of it in freed memory.
TEST_F(Iaas_Client_Factory_Test, SecretKeysFromRepliesLeaveNoCopyInFreedMemory) {
  if (!testing_support::Freed_Memory_Watch::available())
    GTEST_SKIP() << "a sanitizer's allocator cannot be watched";
  const testing_support::Test_Certificate certificate("IP:127.0.0.1");
  qingcloud_sim::Options tls_options = Simulator::test_options();
  tls_options.tls_cert = certificate.cert();
  tls_options.tls_key = certificate.key();
  Simulator tls_sim(tls_options, users_inventory);
  const std::string saved_ca_file = HTTP_TLS_Context::default_ca_file();
  HTTP_TLS_Context::set_default_ca_file(certificate.pem_file());

  testing_support::Freed_Memory_Watch watch({Simulator::OPS_SECRET});
  // The watch sees a block that is freed unwiped.
  void (*volatile release)(void*) = std::free;
  char* plain = static_cast<char*>(std::malloc(64));
  std::strcpy(plain, Simulator::OPS_SECRET);
  release(plain);
  EXPECT_EQ(watch.hits().size(), 1u);
  watch.clear_hits();
  for (Simulator* platform : {&sim, &tls_sim}) {
    const bool ssl = platform == &tls_sim;
    {
      BOSS2_Client fresh{Simulator::VERSION, "127.0.0.1"};
      ASSERT_TRUE(fresh.login(platform->host(), static_cast<std::uint16_t>(platform->port()), ssl,
                              secure_string(Simulator::BOSS_KEY_ID),
                              secure_string(Simulator::BOSS_SECRET)));
      EXPECT_NE(fresh.iaas_client(Simulator::OPS_USER_ID), nullptr);
    }
    EXPECT_THAT(watch.hits(), ::testing::IsEmpty()) << (ssl ? "over TLS" : "over plain HTTP");
  }
  HTTP_TLS_Context::set_default_ca_file(saved_ca_file);
}

TEST_F(Iaas_Client_Factory_Test, NoMemoryForTheClientGivesNoClient) {
  {
    testing_support::Nothrow_New_Failure no_memory(sizeof(IAAS_Client));
    EXPECT_EQ(boss.iaas_client(Simulator::OPS_USER_ID), nullptr);
  }
  EXPECT_TRUE(log.has_unexpected("client is NULL"));
  EXPECT_EQ(sim.requests("DescribeZones"), 0u);  // no login was tried
}

TEST_F(Iaas_Client_Factory_Test, AFailedLoginOnTheInfrastructureHostGivesNoClient) {
  sim.inject(Fault::ret_code(1200, "AuthFailure, signature not matched").on("DescribeZones"));
  EXPECT_EQ(boss.iaas_client(Simulator::OPS_USER_ID), nullptr);
  EXPECT_TRUE(log.has("ops failed to login 127.0.0.1:" + std::to_string(sim.port()) + ".\n"));
}

}  // namespace
}  // namespace qingcloud
