// The lister's decisions that need no platform, and the shapes it gives to
// records, against a scripted back office.
#include "common/lister.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "api/boss2_client.h"
#include "host/json_spirit/writer.h"
#include "testing/client_fixture.h"
#include "testing/json_text.h"
#include "testing/log_capture.h"
#include "testing/scripted_http_server.h"

namespace qingcloud {
namespace {

using json_spirit::Array;
using json_spirit::Object;
using json_spirit::Value;
using testing_support::json_value;
using testing_support::Scripted_Reply;

class Lister_Test : public ::testing::Test {
 protected:
  void SetUp() override {
    server.script(Scripted_Reply::json(testing_support::page_reply(
        2, "zone_set", {Object{{"zone_id", "sh1a"}}, Object{{"zone_id", "pek3a"}}})));
    ASSERT_TRUE(client.login("127.0.0.1", server.port(), false, secure_string("QYKEY"),
                             secure_string("secret")));
    requests_at_login = server.received().size();
    log.clear();
  }

  struct Request {
    Request(std::string type = "", std::string view = "", std::string moid = "",
            std::string search_type = "", std::string search = "", std::string zone = "")
        : type(std::move(type)),
          view(std::move(view)),
          moid(std::move(moid)),
          search_type(std::move(search_type)),
          search(std::move(search)),
          zone(std::move(zone)) {}
    std::string type, view, moid, search_type, search, zone;
  };

  // Runs `list` (or `search`) on an array that already holds one node.
  bool run(const Request& r, bool search, Array& arr) {
    arr = {Object{{"earlier", true}}};
    Lister lister(r.type, r.view, r.moid, r.search_type, r.search, r.zone, client);
    return search ? lister.search(arr) : lister.list(arr);
  }

  std::size_t requests_since_login() const { return server.received().size() - requests_at_login; }

  testing_support::Log_Capture log;
  testing_support::Scripted_HTTP_Server server;
  BOSS2_Client client{"5.1.1", "127.0.0.1"};
  std::size_t requests_at_login = 0;
};

// Requests that fail before any call to the platform, with what they log.
TEST_F(Lister_Test, RefusesWhatTheViewDoesNotServe) {
  struct Case {
    Request request;
    bool search;
    std::vector<std::string> messages;  // "!" marks an unexpected-error line
  };
  const Case cases[] = {
      {{"HostSystem", "recovery", "h", "", "", "pek3a"},
       false,
       {"Unsupported type 'HostSystem'.\n"}},
      {{"VirtualMachine", "recovery", "i", "", "", "pek3a"},
       false,
       {"Unsupported type 'VirtualMachine'.\n"}},
      {{"User", "hosts"}, false, {"Unsupported type 'User'.\n"}},
      {{"Vxnet", "", "usr-a", "", "", "pek3a"}, false, {"Unsupported type 'Vxnet'.\n"}},
      {{"HostSystem", "vms", "h", "", "", "pek3a"}, false, {"Unsupported type 'HostSystem'.\n"}},
      {{"User", "vms"}, false, {"Unsupported type 'User'.\n"}},
      {{"zone", "hosts", "pek3a"}, false, {"Unsupported type 'zone'.\n"}},
      {{"Zone", "hosts"}, false, {"!moid_ is empty"}},
      {{"Zone", "recovery"}, false, {"!moid_ is empty"}},
      {{"Zone", "vms"}, false, {"!moid_ is empty", "Failed to describe instances.\n"}},
      {{"HostSystem", "hosts", "", "", "", "pek3a"},
       false,
       {"!moid_ is empty", "Failed to describe instances.\n"}},
      {{"HostSystem", "hosts", "pek3ar01n01"},
       false,
       {"!zone_ is empty", "Failed to describe instances.\n"}},
      {{"VirtualMachine", "vms", "", "", "", "pek3a"}, false, {"!moid_ is empty"}},
      {{"VirtualMachine", "hosts", "i-1"}, false, {"!zone_ is empty"}},
      {{"Vxnet", "recovery", "", "", "", "pek3a"}, false, {"!moid_ is empty"}},
      {{"Vxnet", "recovery", "usr-a"}, false, {"!zone_ is empty"}},
      // A zone the login did not find.
      {{"Zone", "hosts", "gd2"}, false, {"Failed to describe bots.\n"}},
      {{"Zone", "recovery", "gd2"}, false, {"Failed to describe bots.\n"}},
      {{"Zone", "vms", "gd2"}, false, {"Failed to describe instances.\n"}},
      {{"HostSystem", "hosts", "h", "", "", "gd2"}, false, {"Failed to describe instances.\n"}},
      {{"VirtualMachine", "vms", "i-1", "", "", "gd2"}, false, {"Failed to describe instances.\n"}},
      {{"Vxnet", "recovery", "usr-a", "", "", "gd2"}, false, {"Failed to describe vxnets.\n"}},
      {{"", "", "", "User", "ops"}, true, {"Unsupported search type 'User'.\n"}},
      {{"", "", "", "Vxnet"}, true, {"Unsupported search type 'Vxnet'.\n"}},
      {{"Zone", "hosts", "pek3a", "", "pek"}, true, {"Unsupported search type ''.\n"}},
  };
  for (const Case& c : cases) {
    const Request& r = c.request;
    SCOPED_TRACE(r.type + "/" + r.view + "/" + r.moid + "/" + r.zone + "/" + r.search_type);
    log.clear();
    Array arr;
    EXPECT_FALSE(run(r, c.search, arr));
    EXPECT_EQ(arr.size(), 1u);
    const auto entries = log.entries();
    ASSERT_EQ(entries.size(), c.messages.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
      if (c.messages[i][0] == '!') {
        EXPECT_EQ(entries[i].priority, LM_EMERGENCY);
        EXPECT_EQ(entries[i].message.rfind("Unexpected error in ", 0), 0u) << entries[i].message;
        EXPECT_NE(entries[i].message.find(", " + c.messages[i].substr(1) + ":\n"),
                  std::string::npos)
            << entries[i].message;
      } else {
        EXPECT_EQ(entries[i].priority, LM_ERROR);
        EXPECT_EQ(entries[i].message, c.messages[i]);
      }
    }
  }
  EXPECT_EQ(requests_since_login(), 0u);
}

TEST_F(Lister_Test, ZonesComeFromTheLoginInOrder) {
  const Value listed = json_value(R"([{"earlier":true},
                    {"type":"Zone","name":"pek3a","moid":"pek3a","has_children":true},
                    {"type":"Zone","name":"sh1a","moid":"sh1a","has_children":true}])");
  // The top of the tree in every view, an unknown view listing as the host view.
  for (const char* view : {"", "hosts", "vms", "recovery", "VMs"}) {
    Array arr;
    EXPECT_TRUE(run({"", view}, false, arr));
    EXPECT_EQ(Value(arr), listed) << view;
  }
  Array found;
  EXPECT_TRUE(run({"Zone", "hosts", "pek3a", "Zone", "SH"}, true, found));
  EXPECT_EQ(Value(found), json_value(R"([{"earlier":true},
                          {"type":"Zone","name":"sh1a","moid":"sh1a","has_children":false}])"));
  EXPECT_TRUE(run({"", "", "", "Zone", ""}, true, found));
  EXPECT_EQ(found.size(), 3u);
  EXPECT_EQ(requests_since_login(), 0u);
}

// The platform's own search also matches ids; only names count.  A zone
// whose search fails ends the search, keeping what earlier zones found.
TEST_F(Lister_Test, InstanceSearchKeepsMatchingNamesAndTheZonesAlreadySearched) {
  auto instance = [](const char* id, const char* name) {
    Value record = testing_support::reply_element("DescribeInstances.json", "instance_set", 0);
    record.get_obj()["instance_id"] = id;
    record.get_obj()["instance_name"] = name;
    return record;
  };
  server.script(Scripted_Reply::json(testing_support::page_reply(
      2, "instance_set", {instance("i-web00001", "db-01"), instance("i-00000002", "Web-02")})));
  server.script(Scripted_Reply::json(R"({"ret_code":5000,"message":"InternalError"})"));
  Array arr;
  EXPECT_FALSE(run({"", "", "", "VirtualMachine", "web"}, true, arr));
  ASSERT_EQ(arr.size(), 2u);
  EXPECT_EQ(arr[1].get_obj().at("moid"), Value("i-00000002"));
  EXPECT_EQ(arr[1].get_obj().at("zone"), Value("pek3a"));
  EXPECT_EQ(log.errors().back(), "Failed to search instances.\n");
  EXPECT_EQ(requests_since_login(), 2u);
}

// Only networks the user may use are listed: its own and the platform's, and
// no VPC network without a router.
TEST_F(Lister_Test, ListsTheNetworksAUserMayUse) {
  const char* vxnets = R"([
    {"vxnet_id":"vxnet-a1","vxnet_name":"mine","owner":"usr-a","vxnet_type":0,"vpc_router_id":""},
    {"vxnet_id":"vxnet-a2","vxnet_name":"mine, unrouted","owner":"usr-a","vxnet_type":1,
     "vpc_router_id":""},
    {"vxnet_id":"vxnet-a3","vxnet_name":"mine, routed","owner":"usr-a","vxnet_type":1,
     "vpc_router_id":"rtr-1"},
    {"vxnet_id":"vxnet-b1","vxnet_name":"theirs","owner":"usr-b","vxnet_type":2,
     "vpc_router_id":""},
    {"vxnet_id":"vxnet-s1","vxnet_name":"shared","owner":"system","vxnet_type":2,
     "vpc_router_id":""}])";
  server.script(Scripted_Reply::json(
      testing_support::page_reply(5, "vxnet_set", json_value(vxnets).get_array())));
  Array arr;
  ASSERT_TRUE(run({"Vxnet", "recovery", "usr-a", "", "", "sh1a"}, false, arr));
  EXPECT_EQ(Value(arr), json_value(R"([{"earlier":true},
    {"type":"Vxnet","name":"mine","moid":"vxnet-a1","has_children":false,"owner":"usr-a",
     "vpc_router_id":"","vxnet_type":0,"zone":"sh1a"},
    {"type":"Vxnet","name":"mine, routed","moid":"vxnet-a3","has_children":false,
     "owner":"usr-a","vpc_router_id":"rtr-1","vxnet_type":1,"zone":"sh1a"},
    {"type":"Vxnet","name":"shared","moid":"vxnet-s1","has_children":false,"owner":"system",
     "vpc_router_id":"","vxnet_type":2,"zone":"sh1a"}])"));
  EXPECT_EQ(client.zone().value(), "sh1a");
}

}  // namespace
}  // namespace qingcloud
