// The inventory tree and the searches of the demo platform, through the
// back-office client and the simulator.
#include <string>

#include <gtest/gtest.h>

#include "common/lister.h"
#include "host/json_spirit/writer.h"
#include "testing/json_text.h"
#include "testing/log_capture.h"
#include "testing/simulator.h"
#include "tools/qingcloud_sim/record_defaults.h"

namespace qingcloud {
namespace {

using json_spirit::Array;
using json_spirit::Value;
using testing_support::json_value;
using testing_support::Simulator;

constexpr std::uint64_t GiB = std::uint64_t(1) << 30;

std::string vm(const char* name, const char* id, const char* owner, const char* status,
               const char* host, const char* zone) {
  return std::string(R"({"type":"VirtualMachine","name":")") + name + R"(","moid":")" + id +
         R"(","has_children":false,"owner":")" + owner + R"(","status":")" + status +
         R"(","size":)" + std::to_string(20 * GiB) + R"(,"host":")" + host + R"(","zone":")" +
         zone + R"("})";
}

std::string host(const char* id, const char* zone, bool listed) {
  return std::string(R"({"type":"HostSystem","name":")") + id + R"(","moid":")" + id +
         R"(","has_children":)" + (listed ? "true" : "false") + R"(,"zone":")" + zone + R"("})";
}

std::string array_of(std::initializer_list<std::string> nodes) {
  std::string text = "[";
  for (const std::string& n : nodes)
    text += (text.size() > 1 ? "," : "") + n;
  return text + "]";
}

const char* const OPS = "usr-ops00001";
const char* const DEV = "usr-dev00001";

class Lister_On_Simulator : public testing_support::Simulator_Test {
 protected:
  void SetUp() override {
    Simulator_Test::SetUp();
    ASSERT_TRUE(client.login(sim().host(), static_cast<std::uint16_t>(sim().port()), false,
                             secure_string(Simulator::BOSS_KEY_ID),
                             secure_string(Simulator::BOSS_SECRET)));
  }

  struct Request {
    std::string view, type, moid, zone;
  };

  // The nodes of one request, as JSON text; "failed" when the lister fails.
  Value list(const Request& r) {
    Array nodes;
    Lister lister(r.type, r.view, r.moid, "", "", r.zone, client);
    if (!lister.list(nodes)) return Value("failed");
    return nodes;
  }
  Value search(const std::string& type, const std::string& text) {
    Array nodes;
    Lister lister("", "", "", type, text, "", client);
    if (!lister.search(nodes)) return Value("failed");
    return nodes;
  }

  testing_support::Log_Capture log;
  BOSS2_Client client{Simulator::VERSION, "127.0.0.1"};
};

// The console's walks of the host and instance views, from the top to the
// disks, as whole nodes.
TEST_F(Lister_On_Simulator, WalksTheHostAndInstanceViews) {
  const std::string zones =
      R"([{"type":"Zone","name":"pek3a","moid":"pek3a","has_children":true},
          {"type":"Zone","name":"sh1a","moid":"sh1a","has_children":true}])";
  struct Case {
    Request request;
    std::string nodes;
  };
  const Case cases[] = {
      {{"hosts", "", "", ""}, zones},
      {{"vms", "", "", ""}, zones},
      {{"hosts", "Zone", "pek3a", ""},
       array_of({host("pek3ar01n01", "pek3a", true), host("pek3ar01n02", "pek3a", true),
                 host("pek3ar02n01", "pek3a", true)})},
      // Running and stopped instances under the user's control only.
      {{"hosts", "HostSystem", "pek3ar01n01", "pek3a"},
       array_of({vm("web-01", "i-k8s2m1qa", OPS, "running", "pek3ar01n01", "pek3a"),
                 vm("cache-01", "i-6hw2ne4r", OPS, "running", "pek3ar01n01", "pek3a"),
                 vm("dev-sandbox", "i-4nl6sd2h", DEV, "running", "pek3ar01n01", "pek3a")})},
      {{"hosts", "VirtualMachine", "i-3fq9zt0c", "pek3a"},
       array_of({R"({"type":"Disk","name":"db-primary-data","moid":"vol-d8q4m1zr",
                     "has_children":false,"size":)" +
                     std::to_string(200 * GiB) + R"(,"zone":"pek3a","instance":"i-3fq9zt0c"})",
                 R"({"type":"Disk","name":"db-primary-log","moid":"vol-d8q4m1zs",
                     "has_children":false,"size":)" +
                     std::to_string(100 * GiB) + R"(,"zone":"pek3a","instance":"i-3fq9zt0c"})"})},
      {{"vms", "Zone", "sh1a", ""},
       array_of({vm("web-sh-01", "i-s1x4ka7m", OPS, "running", "sh1ar01n01", "sh1a"),
                 vm("web-sh-02", "i-s1x4ka7n", OPS, "running", "sh1ar01n02", "sh1a"),
                 vm("backup-proxy", "i-s2m8qe3d", OPS, "stopped", "sh1ar02n01", "sh1a"),
                 vm("monitor-01", "i-s3r5td9w", OPS, "running", "sh1ar01n01", "sh1a"),
                 vm("dev-api-01", "i-s6k9wy1j", DEV, "running", "sh1ar01n01", "sh1a"),
                 vm("dev-db", "i-s7p3dl8c", DEV, "stopped", "sh1ar01n02", "sh1a"),
                 vm("dev-frontend", "i-s8g6rm4x", DEV, "running", "sh1ar02n01", "sh1a")})},
      {{"vms", "VirtualMachine", "i-s2m8qe3d", "sh1a"},
       array_of({R"({"type":"Disk","name":"backup-staging","moid":"vol-s2k5r9yb",
                     "has_children":false,"size":)" +
                 std::to_string(500 * GiB) + R"(,"zone":"sh1a","instance":"i-s2m8qe3d"})"})},
      // An instance without volumes has no disks; a suspended one is not found.
      {{"vms", "VirtualMachine", "i-9bv7ul3m", "pek3a"}, "[]"},
      {{"hosts", "VirtualMachine", "i-3ea9tn1v", "pek3a"}, R"("failed")"},
  };
  for (const Case& c : cases) {
    const Request& r = c.request;
    SCOPED_TRACE(r.view + "/" + r.type + "/" + r.moid);
    const Value nodes = list(r);
    EXPECT_EQ(nodes, json_value(c.nodes)) << json_spirit::JSON_Dump(nodes, false).str();
  }
  EXPECT_EQ(log.errors(), std::vector<std::string>{"Failed to describe instances.\n"});
  EXPECT_EQ(sim().requests("DescribeZones"), 1u);  // the login's only
}

TEST_F(Lister_On_Simulator, SearchesEveryZoneInOrderIgnoringCase) {
  struct Case {
    const char* type;
    const char* text;
    std::string nodes;
  };
  const Case cases[] = {
      {"VirtualMachine", "WEB",
       array_of({vm("web-01", "i-k8s2m1qa", OPS, "running", "pek3ar01n01", "pek3a"),
                 vm("web-02", "i-k8s2m1qb", OPS, "running", "pek3ar01n02", "pek3a"),
                 vm("web-sh-01", "i-s1x4ka7m", OPS, "running", "sh1ar01n01", "sh1a"),
                 vm("web-sh-02", "i-s1x4ka7n", OPS, "running", "sh1ar01n02", "sh1a")})},
      {"HostSystem", "R01N01",
       array_of({host("pek3ar01n01", "pek3a", false), host("sh1ar01n01", "sh1a", false)})},
      {"Zone", "1A", R"([{"type":"Zone","name":"sh1a","moid":"sh1a","has_children":false}])"},
  };
  for (const Case& c : cases) {
    const Value nodes = search(c.type, c.text);
    EXPECT_EQ(nodes, json_value(c.nodes)) << json_spirit::JSON_Dump(nodes, false).str();
  }
  EXPECT_EQ(search("HostSystem", "").get_array().size(), 6u);  // every active host
  EXPECT_EQ(search("VirtualMachine", "").get_array().size(), 19u);
  EXPECT_EQ(client.zone().value(), "sh1a");  // left on the last zone searched
}

// The demo platform with a network of the platform's own besides the base
// networks.
qingcloud_sim::Inventory with_shared_network() {
  qingcloud_sim::Inventory inventory = qingcloud_sim::demo_inventory();
  inventory.zone("pek3a")->vxnets.add(
      qingcloud_sim::make_vxnet(boost::json::object{{"vxnet_id", "vxnet-shared01"},
                                                    {"vxnet_name", "shared services"},
                                                    {"owner", "system"},
                                                    {"vxnet_type", 2},
                                                    {"vpc_router_id", ""}},
                                "pek3a"));
  return inventory;
}

TEST(Lister_Recovery_View, ListsUsersAndTheNetworksEachMayUse) {
  Simulator sim(Simulator::test_options(), with_shared_network);
  BOSS2_Client client(Simulator::VERSION, "127.0.0.1");
  ASSERT_TRUE(client.login(sim.host(), static_cast<std::uint16_t>(sim.port()), false,
                           secure_string(Simulator::BOSS_KEY_ID),
                           secure_string(Simulator::BOSS_SECRET)));
  auto list = [&client](const char* type, const char* moid, const char* zone) {
    Array nodes;
    Lister lister(type, "recovery", moid, "", "", zone, client);
    EXPECT_TRUE(lister.list(nodes)) << type << " " << moid;
    return Value(nodes);
  };
  EXPECT_EQ(list("User", "ignored", ""),
            json_value(R"([{"type":"User","name":"ops","moid":"usr-ops00001","has_children":true},
                           {"type":"User","name":"dev","moid":"usr-dev00001","has_children":true}])"));
  // Not another user's, not the unrouted VPC network "vxnet-w9c4rdy", not the
  // base networks; the platform's for everyone.
  EXPECT_EQ(list("Vxnet", OPS, "pek3a"), json_value(R"([
        {"type":"Vxnet","name":"ops-prod","moid":"vxnet-k3mf8qa","has_children":false,
         "owner":"usr-ops00001","vpc_router_id":"rtr-0pk3prd1","vxnet_type":1,"zone":"pek3a"},
        {"type":"Vxnet","name":"ops-lab","moid":"vxnet-p7tn2xe","has_children":false,
         "owner":"usr-ops00001","vpc_router_id":"","vxnet_type":0,"zone":"pek3a"},
        {"type":"Vxnet","name":"shared services","moid":"vxnet-shared01","has_children":false,
         "owner":"system","vpc_router_id":"","vxnet_type":2,"zone":"pek3a"}])"));
  const Value dev = list("Vxnet", DEV, "pek3a");
  ASSERT_EQ(dev.get_array().size(), 3u);
  EXPECT_EQ(dev.get_array()[2].get_obj().at("moid"), Value("vxnet-shared01"));
  EXPECT_EQ(sim.last_request("DescribeVxnets").param_list("excluded_vxnets"),
            (std::vector<std::string>{"vxnet-0", "vxnet-1"}));
}

}  // namespace
}  // namespace qingcloud
