// Every fault of the simulator on every call that a console request makes,
// through the handlers of the dlopened plug-in: each request gets exactly
// its answer, and the host goes on.
#include <dlfcn.h>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/agent/json_rpc_handler.h"
#include "host/json_spirit/writer.h"
#include "testing/json_text.h"
#include "testing/log_capture.h"
#include "testing/simulator.h"
#include "testing/test_host.h"

namespace {

using json_spirit::Object;
using json_spirit::Value;
using testing_support::json_value;
using testing_support::Simulator;
using Fault = Simulator::Fault;

using Factory = JSON_RPC_Handler* (*)(JSON_RPC_Handler_Exterminator*);

// A handler made by the plug-in's factory, given back through its deleter.
class Plugin_Handler {
 public:
  Plugin_Handler(void* plugin, const char* factory) {
    auto make = reinterpret_cast<Factory>(dlsym(plugin, factory));
    if (make) handler_ = make(&gobble_);
  }
  ~Plugin_Handler() {
    if (handler_ && gobble_) gobble_(handler_);
  }
  JSON_RPC_Handler* get() const { return handler_; }

 private:
  JSON_RPC_Handler* handler_ = nullptr;
  JSON_RPC_Handler_Exterminator gobble_ = nullptr;
};

// One request through the framework's dispatch; every answer it sent.
std::vector<Value> answers(JSON_RPC_Handler& handler, const Value& params) {
  auto* channel = new JSON_RPC_Collecting_Channel();
  JSON_RPC_Channel_var channel_var(channel);
  handler.handle_object(channel_var,
                        JSON_RPC_Object_var(new JSON_RPC_Request(9, "qingcloud.test", params)));
  std::vector<Value> sent;
  for (const JSON_RPC_Object_var& obj : channel->sent())
    sent.push_back(obj->to_json());
  return sent;
}

struct Request {
  const char* what;
  bool login;          // the login handler, else the list handler
  const char* params;  // list params without "uuid"
  std::vector<const char*> actions;
  const char* failure;  // the list handler's error for a failed call after login
};

const Request REQUESTS[] = {
    {"login test", true, "", {"DescribeZones"}, ""},
    {"hosts view, top", false, R"({"subtype":"inventory","view":"hosts"})", {"DescribeZones"}, ""},
    {"hosts view, zone",
     false,
     R"({"subtype":"inventory","view":"hosts","type":"Zone","moid":"pek3a"})",
     {"DescribeZones", "Boss2DescribeBots"},
     "Failed to list qingcloud resources"},
    {"hosts view, host",
     false,
     R"({"subtype":"inventory","view":"hosts","type":"HostSystem","moid":"pek3ar01n01","zone":"pek3a"})",
     {"DescribeZones", "DescribeInstances"},
     "Failed to list qingcloud resources"},
    {"hosts view, instance",
     false,
     R"({"subtype":"inventory","view":"hosts","type":"VirtualMachine","moid":"i-3fq9zt0c","zone":"pek3a"})",
     {"DescribeZones", "DescribeInstances", "DescribeVolumes"},
     "Failed to list qingcloud resources"},
    {"vms view, zone",
     false,
     R"({"subtype":"inventory","view":"vms","type":"Zone","moid":"sh1a"})",
     {"DescribeZones", "DescribeInstances"},
     "Failed to list qingcloud resources"},
    {"recovery view, users",
     false,
     R"({"subtype":"inventory","view":"recovery","type":"User"})",
     {"DescribeZones", "DescribeUsers"},
     "Failed to list qingcloud resources"},
    {"recovery view, networks",
     false,
     R"({"subtype":"inventory","view":"recovery","type":"Vxnet","moid":"usr-ops00001","zone":"pek3a"})",
     {"DescribeZones", "DescribeVxnets"},
     "Failed to list qingcloud resources"},
    {"host search",
     false,
     R"({"subtype":"search","search_type":"HostSystem","search":"R01"})",
     {"DescribeZones", "Boss2DescribeBots"},
     "Failed to search qingcloud resources"},
    {"instance search",
     false,
     R"({"subtype":"search","search_type":"VirtualMachine","search":"web"})",
     {"DescribeZones", "DescribeInstances"},
     "Failed to search qingcloud resources"},
};

// How the login goes when its one call meets a fault, as the console reads it.
enum class Outcome { OK, NETWORK, INTERNAL, PLATFORM, MALFORMED };

struct Fault_Kind {
  const char* name;
  Fault fault;
  Outcome outcome;
};

std::vector<Fault_Kind> fault_kinds() {
  return {
      {"HTTP 500 with a body", Fault::http_status(500, "busy"), Outcome::NETWORK},
      {"HTTP 502 without a body", Fault::http_status(502), Outcome::NETWORK},
      {"not JSON", Fault::not_json(), Outcome::INTERNAL},
      {"no ret_code", Fault::no_ret_code("hello"), Outcome::INTERNAL},
      {"ret_code", Fault::ret_code(5000, "InternalError, the platform is busy"), Outcome::PLATFORM},
      {"delay", Fault::delay(20), Outcome::OK},
      {"dropped connection", Fault::drop_connection(), Outcome::NETWORK},
      {"total count drift", Fault::total_count_drift(), Outcome::OK},  // one page: no later page
      {"malformed record", Fault::malformed_record(), Outcome::MALFORMED},
  };
}

std::string login_message(Outcome outcome) {
  const std::string head = "Failed to login qingcloud '127.0.0.1': ";
  switch (outcome) {
    case Outcome::OK:
      return "";
    case Outcome::NETWORK:
      return head + "network error";
    case Outcome::INTERNAL:
      return head + "internal error";
    case Outcome::PLATFORM:
      return head + "errno=5000, InternalError, the platform is busy";
    case Outcome::MALFORMED:
      return head + "errno=0, ";  // the call worked; the zone list did not
  }
  return "";
}

Value error_answer(const std::string& message) {
  return json_value(R"({"jsonrpc":"2.0","id":9,"error":{"code":-32603,"message":")" + message +
                    R"(","data":null}})");
}

class Plugin_Faults : public testing_support::Simulator_Test {
 protected:
  void SetUp() override {
    Simulator_Test::SetUp();
    plugin_ = dlopen(QINGCLOUD_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(plugin_, nullptr) << dlerror();
    list_ = std::make_unique<Plugin_Handler>(plugin_, "_make_JSON_RPC_QingCloud_List_Handler");
    login_ = std::make_unique<Plugin_Handler>(plugin_, "_make_JSON_RPC_QingCloud_Login_Handler");
    ASSERT_NE(list_->get(), nullptr);
    ASSERT_NE(login_->get(), nullptr);
    host_.keep("env-demo", settings());
  }
  void TearDown() override {
    list_.reset();
    login_.reset();
    if (plugin_) dlclose(plugin_);
  }

  Object settings() const {
    return testing_support::host_settings(sim().host(), sim().port(), Simulator::BOSS_KEY_ID,
                                          Simulator::BOSS_SECRET);
  }

  Value params_of(const Request& r) const {
    if (r.login) return settings();
    Value params = json_value(r.params);
    params.get_obj()["uuid"] = "env-demo";
    return params;
  }

  // The one answer a request gets.
  Value answer(const Request& r) {
    const std::vector<Value> sent = answers(r.login ? *login_->get() : *list_->get(), params_of(r));
    EXPECT_EQ(sent.size(), 1u) << r.what;
    return sent.empty() ? Value() : sent.front();
  }

  testing_support::Log_Capture log_;
  testing_support::Test_Host host_;
  void* plugin_ = nullptr;
  std::unique_ptr<Plugin_Handler> list_, login_;
};

TEST_F(Plugin_Faults, EveryFaultOnEveryCallGetsItsAnswer) {
  std::vector<Value> healthy;
  for (const Request& r : REQUESTS)
    healthy.push_back(answer(r));
  ASSERT_EQ(healthy[0], json_value(R"({"jsonrpc":"2.0","id":9,"result":{"status":true}})"));

  for (std::size_t i = 0; i < std::size(REQUESTS); ++i) {
    const Request& r = REQUESTS[i];
    for (const char* action : r.actions) {
      for (const Fault_Kind& kind : fault_kinds()) {
        SCOPED_TRACE(std::string(r.what) + ", " + kind.name + " on " + action);
        sim().clear_faults();
        sim().inject(Fault(kind.fault).on(action));
        const bool at_login = std::string(action) == "DescribeZones";
        Value expected = healthy[i];
        // Connections are kept from one request to the next; the HTTP
        // library sends again, once, on a fresh connection when the server
        // closed a kept one without answering, and the fault is spent then.
        const bool retried = std::string(kind.name) == "dropped connection";
        if (kind.outcome != Outcome::OK && !retried) {
          if (r.login) {
            expected =
                json_value(R"({"jsonrpc":"2.0","id":9,"result":{"status":false,"message":")" +
                           login_message(kind.outcome) + R"("}})");
          } else {
            expected = error_answer(at_login ? "Failed to login qingcloud" : r.failure);
          }
        }
        const Value got = answer(r);
        EXPECT_EQ(got, expected) << json_spirit::JSON_Dump(got, false).str();
        // The host goes on: the same request, now without the fault.
        sim().clear_faults();
        EXPECT_EQ(answer(r), healthy[i]);
      }
    }
  }
}

}  // namespace
