// The login test's answers, with the host stood in and a scripted back
// office.
#include "websvcs_agent/qingcloud_login_handler.h"

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

const char* const ZONES = R"({"ret_code":0,"total_count":1,"zone_set":[{"zone_id":"pek3a"}]})";

class Login_Handler_Test : public ::testing::Test {
 protected:
  Object settings() const {
    Object s = testing_support::host_settings("127.0.0.1", platform.port(), "QYKEY", "s3cret");
    s["api_host"] = "api.example.invalid";
    return s;
  }

  Value call(const Value& params) { return Test_Host::call(*handler, params, 42); }

  testing_support::Log_Capture log;
  testing_support::Scripted_HTTP_Server platform;
  Test_Host host;
  std::unique_ptr<JSON_RPC_Handler> handler{new JSON_RPC_QingCloud_Login_Handler()};
};

TEST_F(Login_Handler_Test, MalformedRequestsAreErrors) {
  Object without_key = settings();
  without_key.erase("access_key");
  Object foreign = settings();
  foreign["secret_access_key"] = "bm90IGEgY2lwaGVyIHRleHQ=";
  Object ssl_typo = settings();
  ssl_typo["ssl"] = "true";
  const std::pair<Value, const char*> cases[] = {
      {json_value("[]"), "-32602 Invalid request type."},
      {Value("settings"), "-32602 Invalid request type."},
      {without_key, "-32602 Invalid params"},
      {foreign, "-32602 Invalid params"},
      {ssl_typo, "-32602 Invalid params"},
  };
  for (const auto& [params, error] : cases) {
    const Value answer = call(params);
    EXPECT_EQ(error_of(answer), error) << json_spirit::JSON_Dump(params, false).str();
    EXPECT_EQ(answer.get_obj().at("id"), Value(42));
  }
  EXPECT_TRUE(platform.received().empty());
}

TEST_F(Login_Handler_Test, AnswersTheOutcomeOfTheLogin) {
  Object old = settings();
  old["version"] = "5.0";
  Object down = settings();
  {
    testing_support::Scripted_HTTP_Server gone;
    down["port"] = gone.port();
  }
  struct Case {
    Object params;
    std::vector<Scripted_Reply> replies;
    const char* result;
    std::size_t requests;
  };
  const Case cases[] = {
      {settings(), {Scripted_Reply::json(ZONES)}, R"({"status":true})", 1},
      {old, {}, R"({"status":false,"message":"Unsupported version '5.0'"})", 0},
      {down,
       {},
       R"({"status":false,"message":"Failed to login qingcloud '127.0.0.1': network error"})",
       0},
      {settings(),
       {Scripted_Reply::json(
           R"({"ret_code":1200,"message":"AuthFailure, signature not matched"})")},
       R"({"status":false,"message":"Failed to login qingcloud '127.0.0.1': errno=1200, AuthFailure, signature not matched"})",
       1},
      {settings(),
       {Scripted_Reply::not_json("<html>502</html>")},
       R"({"status":false,"message":"Failed to login qingcloud '127.0.0.1': internal error"})",
       1},
      // Logged in, but a platform without zones cannot be used.
      {settings(),
       {Scripted_Reply::json(R"({"ret_code":0,"total_count":0,"zone_set":[]})")},
       R"({"status":false,"message":"Failed to login qingcloud '127.0.0.1': errno=0, "})",
       1},
  };
  for (const Case& c : cases) {
    const std::size_t before = platform.received().size();
    for (const Scripted_Reply& reply : c.replies)
      platform.script(reply);
    const Value answer = call(c.params);
    EXPECT_EQ(answer,
              json_value(std::string(R"({"jsonrpc":"2.0","id":42,"result":)") + c.result + "}"))
        << json_spirit::JSON_Dump(answer, false).str();
    EXPECT_EQ(platform.received().size() - before, c.requests) << c.result;
  }
  // Failed logins are logged as errors; the secret, decrypted, never shows.
  for (const auto& entry : log.entries()) {
    EXPECT_EQ(entry.priority, LM_ERROR) << entry.message;
    EXPECT_EQ(entry.message.find("s3cret"), std::string::npos) << entry.message;
  }
}

TEST_F(Login_Handler_Test, ReportsAnAnswerThatDoesNotFitInMemory) {
  platform.script(Scripted_Reply::json(ZONES));
  Value answer;
  {
    testing_support::Nothrow_New_Failure no_memory(sizeof(JSON_RPC_Response));
    answer = call(settings());
  }
  EXPECT_EQ(error_of(answer), "-32603 Internal error, out of memory.");
}

TEST_F(Login_Handler_Test, LeavesWhatIsNoRequestUnanswered) {
  auto* channel = new JSON_RPC_Collecting_Channel();
  JSON_RPC_Channel_var channel_var(channel);
  JSON_RPC_Object_var note(new JSON_RPC_Request("qingcloud.login", settings()));
  EXPECT_EQ(handler->handle_object(channel_var, note), -1);
  EXPECT_TRUE(channel->sent().empty());
}

TEST(Login_Handler_Factory, FillsInTheDeleter) {
  JSON_RPC_Handler_Exterminator gobble = nullptr;
  JSON_RPC_Handler* made = _make_JSON_RPC_QingCloud_Login_Handler(&gobble);
  ASSERT_NE(made, nullptr);
  ASSERT_EQ(gobble, &_gobble_JSON_RPC_QingCloud_Login_Handler);
  gobble(made);
  gobble(nullptr);
  testing_support::Nothrow_New_Failure no_memory;
  errno = 0;
  EXPECT_EQ(_make_JSON_RPC_QingCloud_Login_Handler(nullptr), nullptr);
  EXPECT_EQ(errno, ENOMEM);
}

}  // namespace
}  // namespace qingcloud
