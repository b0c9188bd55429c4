// The list handler's answers, with the host stood in and a scripted back
// office that knows two zones.
#include "websvcs_agent/qingcloud_list_handler.h"

#include <functional>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "host/json_spirit/writer.h"
#include "testing/client_fixture.h"
#include "testing/json_text.h"
#include "testing/log_capture.h"
#include "testing/nothrow_new_failure.h"
#include "testing/scripted_http_server.h"
#include "testing/test_host.h"

namespace qingcloud {
namespace {

using json_spirit::Object;
using json_spirit::Value;
using testing_support::error_of;
using testing_support::json_value;
using testing_support::Scripted_Reply;
using testing_support::Test_Host;

class List_Handler_Test : public ::testing::Test {
 protected:
  void SetUp() override {
    platform.responder([](const testing_support::Received_Request&) {
      return Scripted_Reply::json(testing_support::page_reply(
          2, "zone_set", {Object{{"zone_id", "pek3a"}}, Object{{"zone_id", "sh1a"}}}));
    });
    host.keep("env-1", testing_support::host_settings("127.0.0.1", platform.port(), "QYKEY", "s"));
    Object old = testing_support::host_settings("127.0.0.1", platform.port(), "QYKEY", "s");
    old["version"] = "5.0";
    host.keep("env-old", old);
    Object foreign = testing_support::host_settings("127.0.0.1", platform.port(), "QYKEY", "s");
    foreign["secret_access_key"] = "bm90IGEgY2lwaGVyIHRleHQ=";
    host.keep("env-foreign", foreign);
    {
      testing_support::Scripted_HTTP_Server gone;
      host.keep("env-down", testing_support::host_settings("127.0.0.1", gone.port(), "K", "s"));
    }
  }

  Value call(const std::string& params) {
    return Test_Host::call(*handler, json_value(params), "req-7");
  }

  testing_support::Log_Capture log;
  testing_support::Scripted_HTTP_Server platform;
  Test_Host host;
  std::unique_ptr<JSON_RPC_Handler> handler{new JSON_RPC_QingCloud_List_Handler()};
};

TEST_F(List_Handler_Test, AnswersEveryFailureWithItsError) {
  struct Case {
    const char* params;
    const char* error;
    std::size_t queries;   // of "qingcloud.query"
    std::size_t requests;  // to the platform
  };
  const Case cases[] = {
      {R"("inventory")", "-32602 Invalid params: params type must be object.", 0, 0},
      {R"([{"uuid":"env-1"}])", "-32602 Invalid params: params type must be object.", 0, 0},
      {R"({"subtype":"inventory"})", "-32602 Invalid params", 0, 0},
      {R"({"uuid":"env-1"})", "-32602 Invalid params", 0, 0},
      {R"({"uuid":"env-1","subtype":5})", "-32602 Invalid params", 0, 0},
      {R"({"uuid":"env-none","subtype":"inventory"})", "-32603 Failed to get host info", 1, 0},
      {R"({"uuid":"env-foreign","subtype":"inventory"})", "-32603 Failed to get host info", 1, 0},
      {R"({"uuid":"env-old","subtype":"inventory"})", "-32603 Failed to login qingcloud", 1, 0},
      {R"({"uuid":"env-down","subtype":"inventory"})", "-32603 Failed to login qingcloud", 1, 0},
      // The subtype is looked at only once the login worked.
      {R"({"uuid":"env-1","subtype":"Inventory"})", "-32602 Invalid subtype Inventory", 1, 1},
      {R"({"uuid":"env-1","subtype":"inventory","type":"User","view":"hosts"})",
       "-32603 Failed to list qingcloud resources", 1, 1},
      {R"({"uuid":"env-1","subtype":"search","search_type":"User"})",
       "-32603 Failed to search qingcloud resources", 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.params);
    const std::size_t queries = host.queries();
    const std::size_t requests = platform.received().size();
    const Value answer = call(c.params);
    EXPECT_EQ(error_of(answer), c.error);
    EXPECT_EQ(answer.get_obj().at("id"), Value("req-7"));
    EXPECT_TRUE(answer.get_obj().at("error").get_obj().at("data").is_null());
    EXPECT_EQ(host.queries() - queries, c.queries);
    EXPECT_EQ(platform.received().size() - requests, c.requests);
  }
  EXPECT_TRUE(log.has_error("Failed to parse params : key 'uuid' not found\n"));
  EXPECT_TRUE(log.has_error("Unsupported version '5.0'.\n"));
}

TEST_F(List_Handler_Test, AnswersTheNodesAsAnArray) {
  struct Case {
    const char* params;
    const char* result;
  };
  const Case cases[] = {
      // An optional member of another kind counts as absent: the top of the tree.
      {R"({"uuid":"env-1","subtype":"inventory","type":7})",
       R"([{"type":"Zone","name":"pek3a","moid":"pek3a","has_children":true},
           {"type":"Zone","name":"sh1a","moid":"sh1a","has_children":true}])"},
      {R"({"uuid":"env-1","subtype":"search","search_type":"Zone","search":"SH"})",
       R"([{"type":"Zone","name":"sh1a","moid":"sh1a","has_children":false}])"},
      {R"({"uuid":"env-1","subtype":"search","search_type":"Zone","search":"gd"})", "[]"},
  };
  for (const Case& c : cases) {
    const Value answer = call(c.params);
    EXPECT_EQ(answer, json_value(std::string(R"({"jsonrpc":"2.0","id":"req-7","result":)") +
                                 c.result + "}"))
        << json_spirit::JSON_Dump(answer, false).str();
  }
}

TEST_F(List_Handler_Test, ReportsAnswersThatDoNotFitInMemory) {
  Value answer;
  {
    testing_support::Nothrow_New_Failure no_memory(sizeof(JSON_RPC_Response));
    answer = call(R"({"uuid":"env-1","subtype":"inventory"})");
  }
  EXPECT_EQ(error_of(answer), "-32603 Internal error, out of memory.");
}

TEST_F(List_Handler_Test, LeavesWhatIsNoRequestUnanswered) {
  auto* channel = new JSON_RPC_Collecting_Channel();
  JSON_RPC_Channel_var channel_var(channel);
  JSON_RPC_Object_var note(new JSON_RPC_Request("qingcloud.list", Object{{"uuid", "env-1"}}));
  EXPECT_EQ(handler->handle_object(channel_var, note), -1);
  EXPECT_TRUE(channel->sent().empty());
  ASSERT_EQ(log.entries().size(), 1u);
  EXPECT_EQ(log.entries()[0].priority, LM_EMERGENCY);
}

TEST(List_Handler_Factory, FillsInTheDeleter) {
  JSON_RPC_Handler_Exterminator gobble = nullptr;
  JSON_RPC_Handler* made = _make_JSON_RPC_QingCloud_List_Handler(&gobble);
  ASSERT_NE(made, nullptr);
  ASSERT_EQ(gobble, &_gobble_JSON_RPC_QingCloud_List_Handler);
  gobble(made);
  gobble(nullptr);
  JSON_RPC_Handler* again = _make_JSON_RPC_QingCloud_List_Handler(nullptr);
  ASSERT_NE(again, nullptr);
  _gobble_JSON_RPC_QingCloud_List_Handler(again);
  {
    testing_support::Nothrow_New_Failure no_memory;
    errno = 0;
    EXPECT_EQ(_make_JSON_RPC_QingCloud_List_Handler(&gobble), nullptr);
    EXPECT_EQ(errno, ENOMEM);
  }
}

}  // namespace
}  // namespace qingcloud
