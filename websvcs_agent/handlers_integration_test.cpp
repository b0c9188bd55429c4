// Both handlers against the simulator, several requests at once on the
// host's handler threads, as the host runs them.
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "host/json_spirit/writer.h"
#include "testing/json_text.h"
#include "testing/log_capture.h"
#include "testing/simulator.h"
#include "testing/test_host.h"
#include "websvcs_agent/qingcloud_list_handler.h"
#include "websvcs_agent/qingcloud_login_handler.h"

namespace qingcloud {
namespace {

using json_spirit::Object;
using json_spirit::Value;
using testing_support::json_value;
using testing_support::Simulator;
using testing_support::Test_Host;

class Handlers_On_Simulator : public testing_support::Simulator_Test {
 protected:
  void SetUp() override {
    Simulator_Test::SetUp();
    host.keep("env-demo", settings(Simulator::BOSS_SECRET));
  }

  Object settings(const std::string& secret) const {
    return testing_support::host_settings(sim().host(), sim().port(), Simulator::BOSS_KEY_ID,
                                          secret);
  }

  testing_support::Log_Capture log;
  Test_Host host;
  JSON_RPC_QingCloud_List_Handler list;
  JSON_RPC_QingCloud_Login_Handler login;
};

TEST_F(Handlers_On_Simulator, AnswersEightRequestsOnFourThreadsAtOnce) {
  struct Request {
    JSON_RPC_Handler* handler;
    Value params;
    Value expected;
  };
  const std::string pek3a_web =
      R"([{"type":"VirtualMachine","name":"web-01","moid":"i-k8s2m1qa","has_children":false,
           "owner":"usr-ops00001","status":"running","size":21474836480,"host":"pek3ar01n01",
           "zone":"pek3a"},
          {"type":"VirtualMachine","name":"web-02","moid":"i-k8s2m1qb","has_children":false,
           "owner":"usr-ops00001","status":"running","size":21474836480,"host":"pek3ar01n02",
           "zone":"pek3a"}])";
  const Request requests[] = {
      {&list, json_value(R"({"uuid":"env-demo","subtype":"inventory"})"),
       json_value(R"([{"type":"Zone","name":"pek3a","moid":"pek3a","has_children":true},
                      {"type":"Zone","name":"sh1a","moid":"sh1a","has_children":true}])")},
      {&login, settings(Simulator::BOSS_SECRET), json_value(R"({"status":true})")},
      {&list, json_value(R"({"uuid":"env-demo","subtype":"search","search_type":"HostSystem",
                             "search":"sh1ar02"})"),
       json_value(R"([{"type":"HostSystem","name":"sh1ar02n01","moid":"sh1ar02n01",
                       "has_children":false,"zone":"sh1a"}])")},
      {&login, settings("not-the-secret"),
       json_value(
           R"({"status":false,"message":"Failed to login qingcloud '127.0.0.1': errno=1200, AuthFailure, signature not matched"})")},
      {&list, json_value(R"({"uuid":"env-demo","subtype":"inventory","view":"hosts",
                             "type":"HostSystem","moid":"pek3ar01n02","zone":"pek3a"})"),
       Value()},  // compared by size below
      {&login, settings(Simulator::BOSS_SECRET), json_value(R"({"status":true})")},
      {&list, json_value(R"({"uuid":"env-demo","subtype":"search","search_type":"VirtualMachine",
                             "search":"web-0"})"),
       json_value(pek3a_web)},
      {&list, json_value(R"({"uuid":"env-demo","subtype":"inventory","view":"recovery",
                             "type":"User"})"),
       json_value(R"([{"type":"User","name":"ops","moid":"usr-ops00001","has_children":true},
                      {"type":"User","name":"dev","moid":"usr-dev00001","has_children":true}])")},
  };
  constexpr std::size_t THREADS = 4;
  std::vector<Value> answers(std::size(requests));
  std::vector<std::thread> threads;
  for (std::size_t t = 0; t < THREADS; ++t) {
    threads.emplace_back([&, t] {
      for (std::size_t i = t; i < answers.size(); i += THREADS)
        answers[i] = Test_Host::call(*requests[i].handler, requests[i].params, int(i));
    });
  }
  for (std::thread& t : threads)
    t.join();

  for (std::size_t i = 0; i < answers.size(); ++i) {
    SCOPED_TRACE(json_spirit::JSON_Dump(requests[i].params, false).str());
    ASSERT_EQ(answers[i].type(), json_spirit::obj_type);
    const Object& answer = answers[i].get_obj();
    EXPECT_EQ(answer.at("id"), Value(int(i)));
    ASSERT_EQ(answer.count("result"), 1u) << json_spirit::JSON_Dump(answers[i], false).str();
    if (requests[i].expected.is_null()) {
      EXPECT_EQ(answer.at("result").get_array().size(), 4u);
    } else {
      EXPECT_EQ(answer.at("result"), requests[i].expected);
    }
  }
  EXPECT_EQ(host.queries(), 5u);
}

}  // namespace
}  // namespace qingcloud
