#include "host/agent/json_rpc_handler.h"

#include <stdexcept>

#include <gtest/gtest.h>

#include "host/json_spirit/writer.h"
#include "testing/log_capture.h"

namespace {

using json_spirit::JSON_Dump;
using json_spirit::Object;
using json_spirit::Value;

// Answers "echo" with its params, throws for "throw" and "throw-int".
class Echo_Handler : public JSON_RPC_Thread_Handler {
 public:
  int handle_object_i(JSON_RPC_Channel_var channel, JSON_RPC_Object_var obj) override {
    if (obj->kind() != JSON_RPC_Object::KIND_REQUEST) return -1;
    const auto& request = static_cast<const JSON_RPC_Request&>(*obj);
    if (request.method() == "throw") throw std::runtime_error("handler fault");
    if (request.method() == "throw-int") throw 42;
    auto* response = new JSON_RPC_Response(request);
    response->result() = request.params();
    return channel->send(JSON_RPC_Object_var(response));
  }
};

class Dispatch : public ::testing::Test {
 protected:
  std::string answer_to(const std::string& text) {
    handler.handle(channel, text.data(), text.size());
    return JSON_Dump(collector->last_json(), false).str();
  }

  testing_support::Log_Capture log;
  JSON_RPC_Collecting_Channel* collector = new JSON_RPC_Collecting_Channel;
  JSON_RPC_Channel_var channel{collector};
  Echo_Handler handler;
};

TEST_F(Dispatch, RequestsReachTheHandler) {
  EXPECT_EQ(answer_to(R"({"jsonrpc":"2.0","id":7,"method":"echo","params":{"a":1}})"),
            R"({"id":7,"jsonrpc":"2.0","result":{"a":1}})");
}

TEST_F(Dispatch, AnEscapingExceptionBecomesInternalErrorAndTheHostGoesOn) {
  EXPECT_EQ(answer_to(R"({"jsonrpc":"2.0","id":"r1","method":"throw"})"),
            R"({"error":{"code":-32603,"data":null,"message":"Internal error"},)"
            R"("id":"r1","jsonrpc":"2.0"})");
  EXPECT_TRUE(log.has("JSON-RPC handler failed, exception: handler fault.\n"));
  EXPECT_EQ(answer_to(R"({"jsonrpc":"2.0","id":2,"method":"throw-int"})"),
            R"({"error":{"code":-32603,"data":null,"message":"Internal error"},)"
            R"("id":2,"jsonrpc":"2.0"})");
  EXPECT_EQ(answer_to(R"({"jsonrpc":"2.0","id":3,"method":"echo","params":[1]})"),
            R"({"id":3,"jsonrpc":"2.0","result":[1]})");
  EXPECT_EQ(collector->sent().size(), 3u);
}

TEST_F(Dispatch, MalformedMessagesGetProtocolErrors) {
  EXPECT_EQ(answer_to("{not json"),
            R"({"error":{"code":-32700,"data":null,"message":"Parse error"},)"
            R"("id":null,"jsonrpc":"2.0"})");
  EXPECT_EQ(answer_to(R"({"jsonrpc":"1.0","id":1,"method":"echo"})"),
            R"({"error":{"code":-32600,"data":null,"message":"Invalid Request"},)"
            R"("id":null,"jsonrpc":"2.0"})");
  EXPECT_EQ(answer_to(R"({"jsonrpc":"2.0","id":[1],"method":"echo"})"),
            R"({"error":{"code":-32600,"data":null,"message":"Invalid Request"},)"
            R"("id":null,"jsonrpc":"2.0"})");
}

class Checked_Handler : public Echo_Handler {
  struct Must_Be_Object : JSON_RPC_Params_Handler {
    bool check(const Value& params, std::string& why) override {
      why = "params must be an object";
      return params.type() == json_spirit::obj_type;
    }
  };
  JSON_RPC_Params_Handler* create_params_handler() override { return new Must_Be_Object; }
};

TEST(Dispatch_Params, AParamsHandlerCanRefuseARequest) {
  auto* collector = new JSON_RPC_Collecting_Channel;
  JSON_RPC_Channel_var channel(collector);
  Checked_Handler handler;
  JSON_RPC_Object_var bad(new JSON_RPC_Request(Value(1), "echo", json_spirit::Array()));
  handler.handle_object(channel, bad);
  EXPECT_EQ(JSON_Dump(collector->last_json(), false).str(),
            R"({"error":{"code":-32602,"data":null,"message":"params must be an object"},)"
            R"("id":1,"jsonrpc":"2.0"})");
  JSON_RPC_Object_var good(new JSON_RPC_Request(Value(2), "echo", Object()));
  handler.handle_object(channel, good);
  EXPECT_EQ(JSON_Dump(collector->last_json(), false).str(),
            R"({"id":2,"jsonrpc":"2.0","result":{}})");
}

}  // namespace
