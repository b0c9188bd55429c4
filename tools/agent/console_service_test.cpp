// The host's web service over HTTP: who it lets in, what it takes, and many
// requests at once on its handler threads, against the simulator.
#include "tools/agent/console_service.h"

#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <httplib.h>

#include "host/json_spirit/writer.h"
#include "testing/json_text.h"
#include "testing/program_run.h"
#include "testing/simulator.h"
#include "testing/test_host.h"
#include "tools/agent/console_methods.h"
#include "tools/agent/service_metrics.h"

namespace {

using json_spirit::Value;
using testing_support::json_value;
using testing_support::Simulator;

class Console_Service_Test : public testing_support::Simulator_Test {
 protected:
  void SetUp() override {
    Simulator_Test::SetUp();
    // The test key, so that no key is generated for the home.
    const secure_string& key = testing_support::test_host_key();
    std::ofstream(dir.path() + "/host_key.pem") << std::string(key.data(), key.size());
    std::string error;
    ASSERT_TRUE(home.open(dir.path(), error)) << error;
    ASSERT_TRUE(host.start(home, QINGCLOUD_PLUGIN_PATH, error)) << error;
    add_console_methods(host, home);
    host.observe_requests(&metrics);
    service.serve_metrics(metrics);
    set_http_exchange_observer(
        [this](const HTTP_Exchange_Outcome& o) { metrics.platform_exchange(o); });
    ASSERT_TRUE(service.bind("127.0.0.1:0", 4, error)) << error;
    server = std::thread([this] { service.run(); });
    uuid = rpc(R"({"jsonrpc":"2.0","id":1,"method":"host.environments.add","params":{
                   "boss_host":"127.0.0.1","api_host":"127.0.0.1","port":)" +
               std::to_string(sim().port()) + R"(,"access_key":")" + Simulator::BOSS_KEY_ID +
               R"(","secret_access_key":")" + Simulator::BOSS_SECRET + R"("}})")
               .get_obj()
               .at("result")
               .get_obj()
               .at("uuid")
               .get_str();
  }
  void TearDown() override {
    service.stop();
    if (server.joinable()) server.join();
    set_http_exchange_observer(nullptr);
  }

  httplib::Client client() const {
    httplib::Client c("127.0.0.1", service.port());
    c.set_read_timeout(30, 0);
    return c;
  }
  httplib::Headers bearer() const { return {{"Authorization", "Bearer " + service.token()}}; }

  Value rpc(const std::string& body) {
    auto res = client().Post("/rpc", bearer(), body, "application/json");
    if (!res || res->status != 200) {
      ADD_FAILURE() << "no answer to " << body;
      return Value();
    }
    return json_value(res->body);
  }

  testing_support::Temp_Dir dir;
  Agent_Home home;
  Agent_Host host;
  Service_Metrics metrics{[this] { return home.environments().size(); }};
  Console_Service service{host};
  std::thread server;
  std::string uuid;
};

TEST_F(Console_Service_Test, LetsInOnlyItsOwnPagesWithTheToken) {
  struct Case {
    const char* what;
    std::string method, path, type, body;
    httplib::Headers headers;
    int status;
  };
  const httplib::Headers foreign_host{{"Host", "rebound.example:" + std::to_string(service.port())},
                                      {"Authorization", "Bearer " + service.token()}};
  const Case cases[] = {
      {"no token", "GET", "/", "", "", {}, 401},
      {"a wrong token",
       "POST",
       "/rpc",
       "application/json",
       "{}",
       {{"Authorization", "Bearer x"}},
       401},
      {"another site's name", "GET", "/", "", "", foreign_host, 403},
      {"a form post", "POST", "/rpc", "application/x-www-form-urlencoded", "a=b", bearer(), 415},
      {"a text post", "POST", "/rpc", "text/plain", "{}", bearer(), 415},
      {"a body over 1 MiB", "POST", "/rpc", "application/json",
       std::string(Console_Service::MAX_BODY + 1, ' '), bearer(), 413},
      {"the page with the token", "GET", "/", "", "", bearer(), 200},
      {"the first visit", "GET", "/?token=" + service.token(), "", "", {}, 303},
      {"the health check", "GET", "/healthz", "", "", {}, 200},
      {"the health check by another site's name", "GET", "/healthz", "", "", foreign_host, 403},
      {"the metrics without the token", "GET", "/metrics", "", "", {}, 401},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto res = c.method == "GET" ? client().Get(c.path.c_str(), c.headers)
                                 : client().Post(c.path.c_str(), c.headers, c.body, c.type.c_str());
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, c.status);
    EXPECT_FALSE(res->has_header("Access-Control-Allow-Origin"));
  }
  // The first visit leaves the token in a cookie for this site alone.
  auto first = client().Get(("/?token=" + service.token()).c_str());
  ASSERT_TRUE(first);
  EXPECT_EQ(first->get_header_value("Set-Cookie"),
            "qc_token=" + service.token() + "; Path=/; HttpOnly; SameSite=Strict");
  auto page = client().Get("/", {{"Cookie", "qc_token=" + service.token()}});
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_NE(page->body.find("<script src=\"/console.js\""), std::string::npos);
  EXPECT_NE(page->get_header_value("Content-Security-Policy").find("default-src 'self'"),
            std::string::npos);
}

TEST_F(Console_Service_Test, AnswersJsonRpcAndGoesOn) {
  struct Case {
    std::string body;
    std::string answer;
  };
  const Case cases[] = {
      {"not json",
       R"({"jsonrpc":"2.0","id":null,"error":{"code":-32700,"message":"Parse error","data":null}})"},
      {R"({"jsonrpc":"2.0","id":5,"method":"host.nothing","params":{}})",
       R"({"jsonrpc":"2.0","id":5,"error":{"code":-32601,"message":"Method not found","data":null}})"},
      {R"([{"jsonrpc":"2.0","id":6,"method":"qingcloud.list","params":{"uuid":")" + uuid +
           R"(","subtype":"search","search_type":"Zone","search":"SH"}},
          {"jsonrpc":"2.0","id":7,"method":"host.environments.test","params":{"uuid":")" +
           uuid + R"("}}])",
       R"([{"jsonrpc":"2.0","id":6,"result":[{"type":"Zone","name":"sh1a","moid":"sh1a",
                                              "has_children":false}]},
           {"jsonrpc":"2.0","id":7,"result":{"status":true}}])"},
      {R"({"jsonrpc":"2.0","id":8,"method":"host.environments.add","params":{"boss_host":"b"}})",
       R"({"jsonrpc":"2.0","id":8,"error":{"code":-32602,"message":"Invalid params: api_host is missing","data":null}})"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(rpc(c.body), json_value(c.answer)) << c.body;

  // The environments never show their secret, and the store holds it only
  // encrypted.
  const Value listed = rpc(R"({"jsonrpc":"2.0","id":9,"method":"host.environments.list"})");
  EXPECT_EQ(listed.get_obj().at("result").get_array().size(), 1u);
  EXPECT_EQ(json_spirit::JSON_Dump(listed, false).str().find("secret"), std::string::npos);
  std::ifstream store(dir.path() + "/environments.json");
  const std::string text((std::istreambuf_iterator<char>(store)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text.find(Simulator::BOSS_SECRET), std::string::npos);
  EXPECT_NE(text.find("secret_access_key"), std::string::npos);
}

// Each entry of a batch is counted by its method, names that the host does
// not serve as "unknown", and the platform's replies by their status class.
TEST_F(Console_Service_Test, CountsWhatItAnswersInItsMetrics) {
  rpc(R"([{"jsonrpc":"2.0","id":1,"method":"qingcloud.list","params":{"uuid":")" + uuid +
      R"(","subtype":"search","search_type":"Zone","search":"SH"}},
          {"jsonrpc":"2.0","id":2,"method":"qingcloud.list","params":{}},
          {"jsonrpc":"2.0","id":3,"method":"made.up","params":{}}])");
  auto res = client().Get("/metrics", bearer());
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200);
  EXPECT_EQ(res->get_header_value("Content-Type"), Service_Metrics::CONTENT_TYPE);
  for (
      const char* line : {
          R"(qingcloud_agent_rpc_requests_total{method="host.environments.add",outcome="ok"} 1)",
          R"(qingcloud_agent_rpc_requests_total{method="qingcloud.list",outcome="ok"} 1)",
          R"(qingcloud_agent_rpc_requests_total{method="qingcloud.list",outcome="invalid_params"} 1)",
          R"(qingcloud_agent_rpc_requests_total{method="unknown",outcome="method_not_found"} 1)",
          R"(qingcloud_agent_rpc_request_duration_seconds_count{method="qingcloud.list"} 2)",
          R"(qingcloud_agent_platform_requests_total{outcome="2xx"} )",
          "qingcloud_agent_listings_in_flight 0",
          "qingcloud_agent_environments 1",
      })
    EXPECT_NE(res->body.find(line), std::string::npos) << line << "\n" << res->body;
}

// The handlers share nothing: requests run side by side on the threads.
TEST_F(Console_Service_Test, AnswersSixteenListingsAtOnce) {
  const std::string body = R"({"jsonrpc":"2.0","id":3,"method":"qingcloud.list","params":{
      "uuid":")" + uuid + R"(","subtype":"inventory","view":"hosts","type":"Zone","moid":"sh1a"}})";
  const Value expected = json_value(
      R"({"jsonrpc":"2.0","id":3,"result":[
        {"type":"HostSystem","name":"sh1ar01n01","moid":"sh1ar01n01","has_children":true,"zone":"sh1a"},
        {"type":"HostSystem","name":"sh1ar01n02","moid":"sh1ar01n02","has_children":true,"zone":"sh1a"},
        {"type":"HostSystem","name":"sh1ar02n01","moid":"sh1ar02n01","has_children":true,"zone":"sh1a"}]})");
  std::vector<std::string> answers(16);
  std::vector<std::thread> clients;
  for (std::string& answer : answers) {
    clients.emplace_back([&] {
      auto res = client().Post("/rpc", bearer(), body, "application/json");
      answer = res ? res->body : "no answer: " + httplib::to_string(res.error());
    });
  }
  for (std::thread& t : clients)
    t.join();
  for (const std::string& answer : answers)
    EXPECT_EQ(json_value(answer), expected) << answer;
  EXPECT_EQ(sim().requests("Boss2DescribeBots"), 16u);
}

}  // namespace
