// The host's web service over HTTP: who it lets in, what it takes, and many
// requests at once on its handler threads, against the simulator.
#include "tools/agent/serve/console_service.h"

#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <openssl/pem.h>

#include "host/json_spirit/writer.h"
#include "testing/canary.h"
#include "testing/freed_memory_watch.h"
#include "testing/json_text.h"
#include "testing/program_run.h"
#include "testing/scripted_http_server.h"
#include "testing/simulator.h"
#include "testing/test_certificate.h"
#include "testing/test_host.h"
#include "tools/agent/serve/console_methods.h"
#include "tools/agent/serve/service_metrics.h"
#include "tools/agent/serve/tls_identity.h"

namespace {

using json_spirit::Value;
using testing_support::json_value;
using testing_support::Simulator;

int connect_to(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<std::uint16_t>(port));
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
  timeval patience{30, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
  return fd;
}

// The head of the answer that comes on `fd` (what came, when the
// connection ends sooner).
std::string answer_head(int fd) {
  std::string got;
  char buf[4096];
  ssize_t n;
  while (got.find("\r\n\r\n") == std::string::npos && (n = ::recv(fd, buf, sizeof buf, 0)) > 0)
    got.append(buf, static_cast<std::size_t>(n));
  return got;
}

// `request` sent as it is, in one piece, and the head of the answer.
std::string exchange(int port, const std::string& request) {
  const int fd = connect_to(port);
  EXPECT_EQ(::send(fd, request.data(), request.size(), 0), static_cast<ssize_t>(request.size()));
  std::string answer = answer_head(fd);
  ::close(fd);
  return answer;
}

class Console_Service_Test : public testing_support::Simulator_Test {
 protected:
  void SetUp() override {
    Simulator_Test::SetUp();
    // The test key, so that no key is generated for the home.
    const secure_string& key = testing_support::test_host_key();
    std::ofstream(dir.path() + "/host_key.pem") << std::string(key.data(), key.size());
    ::chmod((dir.path() + "/host_key.pem").c_str(), 0600);
    std::string error;
    ASSERT_TRUE(home.open(dir.path(), error)) << error;
    ASSERT_TRUE(host.start(home, QINGCLOUD_PLUGIN_PATH, error)) << error;
    add_console_methods(host, home);
    host.observe_requests(&metrics);
    service.serve_metrics(metrics);
    set_http_exchange_observer(
        [this](const HTTP_Exchange_Outcome& o) { metrics.platform_exchange(o); });
    ASSERT_TRUE(service.bind(Console_Options(), error)) << error;
    server = std::thread([this] { service.run(); });
    uuid = rpc(R"({"jsonrpc":"2.0","id":1,"method":"host.environments.add","params":{
                   "boss_host":"127.0.0.1","api_host":"127.0.0.1","ssl":false,"port":)" +
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
    EXPECT_EQ(res->get_header_value("Content-Type"), "application/json");
    return json_value(res->body);
  }

  testing_support::Temp_Dir dir;
  Agent_Home home;
  Agent_Host host;
  Service_Metrics metrics{[this] {
    Agent_Home::Environments kept;
    std::string ignored;
    return home.environments(kept, ignored) ? kept.size() : 0;
  }};
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
  const std::string token = service.token();
  const httplib::Headers foreign_host{{"Host", "rebound.example:" + std::to_string(service.port())},
                                      {"Authorization", "Bearer " + token}};
  const Case cases[] = {
      {"the page, which holds nothing", "GET", "/", "", "", {}, 200},
      {"its scripts", "GET", "/tree.js", "", "", {}, 200},
      {"and its inventory's", "GET", "/inventory.js", "", "", {}, 200},
      {"no token", "POST", "/rpc", "application/json", "{}", {}, 401},
      {"a wrong token",
       "POST",
       "/rpc",
       "application/json",
       "{}",
       {{"Authorization", "Bearer x"}},
       401},
      {"the token in a cookie",
       "POST",
       "/rpc",
       "application/json",
       "{}",
       {{"Cookie", "qc_token=" + token}},
       401},
      {"another site's name", "GET", "/", "", "", foreign_host, 403},
      {"a form post", "POST", "/rpc", "application/x-www-form-urlencoded", "a=b", bearer(), 415},
      {"a text post", "POST", "/rpc", "text/plain", "{}", bearer(), 415},
      {"a body over 1 MiB", "POST", "/rpc", "application/json",
       std::string(Http_Limits().max_body + 1, ' '), bearer(), 413},
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
    EXPECT_FALSE(res->has_header("Set-Cookie"));
  }
  // The token comes in the fragment, which the browser sends to no server.
  EXPECT_EQ(service.url(),
            "http://127.0.0.1:" + std::to_string(service.port()) + "/#token=" + token);
  auto page = client().Get("/");
  ASSERT_TRUE(page);
  EXPECT_NE(page->body.find("<script src=\"/console.js\""), std::string::npos);
  EXPECT_NE(page->get_header_value("Content-Security-Policy").find("default-src 'self'"),
            std::string::npos);

  // A body without a declared length could grow past the limit as it
  // arrives, and a packed one as it is unpacked: both are refused unread.
  const std::string head =
      "POST /rpc HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(service.port()) +
      "\r\nAuthorization: Bearer " + token + "\r\nContent-Type: application/json\r\n";
  const std::string gzip_braces(
      "\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\x03\xab\xae\x05\x00\x43\xbf\xa6\xa3\x02\x00\x00\x00",
      22);
  const std::string host = "Host: 127.0.0.1:" + std::to_string(service.port()) + "\r\n";
  const std::pair<std::string, const char*> unbounded[] = {
      {head + "Transfer-Encoding: chunked\r\n\r\n2\r\n{}\r\n0\r\n\r\n", "HTTP/1.1 411 "},
      {head + "\r\n{}", "HTTP/1.1 411 "},
      {head + "Content-Encoding: gzip\r\nContent-Length: 22\r\n\r\n" + gzip_braces,
       "HTTP/1.1 415 "},
      // Only GET, HEAD and POST reach the routes; the others' bodies go unread.
      {"PRI * HTTP/2.0\r\n" + host + "\r\nSM\r\n\r\n", "HTTP/1.1 400 "},
      {"PUT /rpc HTTP/1.1\r\n" + host + "Content-Length: 1000000000\r\n\r\n", "HTTP/1.1 405 "},
      {"GET /nothing HTTP/1.1\r\n" + host + "Authorization: Bearer " + token + "\r\n\r\n",
       "HTTP/1.1 404 "},
  };
  for (const auto& [request, status] : unbounded) {
    const std::string answer = exchange(service.port(), request);
    EXPECT_EQ(answer.rfind(status, 0), 0u) << request << "\n" << answer;
  }
}

TEST_F(Console_Service_Test, AnswersJsonRpcAndGoesOn) {
  std::string big_batch = "[";
  for (int i = 0; i <= 100; ++i)
    big_batch +=
        std::string(i ? "," : "") + R"({"jsonrpc":"2.0","method":"host.environments.list"})";
  big_batch += "]";
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
      {big_batch,
       R"({"jsonrpc":"2.0","id":null,"error":{"code":-32600,"message":"Invalid Request: a batch holds at most 100 requests","data":null}})"},
      {R"({"jsonrpc":"2.0","id":9,"method":"host.environments.add","params":{"uuid":"tls",
          "boss_host":"b","api_host":"a","access_key":"K","secret_access_key":"s","test":false}})",
       R"({"jsonrpc":"2.0","id":9,"result":{"uuid":"tls"}})"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(rpc(c.body), json_value(c.answer)) << c.body;

  // The environments never show their secret, and the store holds it only
  // encrypted.
  const Value listed = rpc(R"({"jsonrpc":"2.0","id":9,"method":"host.environments.list"})");
  const json_spirit::Array& envs = listed.get_obj().at("result").get_array();
  ASSERT_EQ(envs.size(), 2u);
  // Towards the platform TLS is the default.
  const json_spirit::Object& tls =
      envs[0].get_obj().at("uuid") == Value("tls") ? envs[0].get_obj() : envs[1].get_obj();
  EXPECT_EQ(tls.at("ssl"), Value(true));
  EXPECT_EQ(tls.at("port"), Value(443));
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

// Beyond loopback only with TLS; with TLS the service answers to the names
// of its certificate.
TEST_F(Console_Service_Test, ServesHttpsAndOnlyThatBeyondLoopback) {
  Console_Service wide(host);
  Console_Options options;
  options.listen = "0.0.0.0:0";
  std::string error;
  EXPECT_FALSE(wide.bind(options, error));
  EXPECT_EQ(error,
            "--listen 0.0.0.0:0 can be reached from other machines; serving there needs "
            "--tls-cert and --tls-key");

  testing_support::Test_Certificate cert("DNS:console.example,IP:127.0.0.1");
  const std::string key_file = dir.path() + "/key.pem";
  std::FILE* out = std::fopen(key_file.c_str(), "w");
  ASSERT_NE(out, nullptr);
  PEM_write_PrivateKey(out, cert.key(), nullptr, nullptr, 0, nullptr, nullptr);
  std::fclose(out);
  Tls_Identity tls;
  ASSERT_EQ(::chmod(key_file.c_str(), 0644), 0);
  EXPECT_FALSE(tls.load(cert.pem_file(), key_file, error));
  EXPECT_EQ(error, key_file + " is open to others (mode 0644); run chmod o-rwx " + key_file);
  ASSERT_EQ(::chmod(key_file.c_str(), 0600), 0);
  ASSERT_TRUE(tls.load(cert.pem_file(), key_file, error)) << error;

  Console_Service secure(host);
  options.listen = "127.0.0.1:0";
  options.tls_cert = tls.cert();
  options.tls_key = tls.key();
  ASSERT_TRUE(secure.bind(options, error)) << error;
  std::thread serving([&secure] { secure.run(); });
  const std::string port = std::to_string(secure.port());
  EXPECT_EQ(secure.url(), "https://127.0.0.1:" + port + "/#token=" + secure.token());
  httplib::SSLClient https("127.0.0.1", secure.port());
  https.set_ca_cert_path(cert.pem_file().c_str());
  https.enable_server_certificate_verification(true);
  const httplib::Headers token{{"Authorization", "Bearer " + secure.token()}};
  auto listed =
      https.Post("/rpc", token, R"({"jsonrpc":"2.0","id":1,"method":"host.environments.list"})",
                 "application/json");
  auto named = https.Get("/", {{"Host", "Console.Example:" + port}});
  auto foreign = https.Get("/", {{"Host", "other.example:" + port}});
  secure.stop();
  serving.join();
  ASSERT_TRUE(listed && named && foreign) << httplib::to_string(listed.error());
  EXPECT_EQ(listed->status, 200);
  EXPECT_EQ(named->status, 200);
  EXPECT_EQ(foreign->status, 403);
}

// A listing that fails carries its cause: the plug-in's log lines of that
// request and the hint they lead to, never a secret; the code and message
// stay the handler's.
TEST_F(Console_Service_Test, AFailedListingSaysWhy) {
  int closed_port = 0;
  {
    testing_support::Scripted_HTTP_Server gone;
    closed_port = gone.port();
  }
  const std::string wrong_secret = "not-the-secret-4711";
  testing_support::add_canary(wrong_secret);
  const std::string port = std::to_string(sim().port());
  const struct {
    const char* what;
    std::string settings;  // besides the hosts and the key id
    std::string hint;
  } cases[] = {
      {"nothing listens",
       R"("ssl":false,"port":)" + std::to_string(closed_port) + R"(,"secret_access_key":")" +
           Simulator::BOSS_SECRET + "\"",
       "nothing listens at 127.0.0.1:" + std::to_string(closed_port)},
      {"TLS against plain HTTP",
       R"("ssl":true,"port":)" + port + R"(,"secret_access_key":")" + Simulator::BOSS_SECRET + "\"",
       "the endpoint at 127.0.0.1:" + port + " speaks plain HTTP"},
      {"a wrong secret",
       R"("ssl":false,"port":)" + port + R"(,"secret_access_key":")" + wrong_secret + "\"",
       "the platform does not know the access key id, or the secret is not its"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const Value added =
        rpc(R"({"jsonrpc":"2.0","id":1,"method":"host.environments.add",
        "params":{"boss_host":"127.0.0.1","api_host":"127.0.0.1","access_key":")" +
            std::string(Simulator::BOSS_KEY_ID) + "\",\"test\":false," + c.settings + "}}");
    const std::string env = added.get_obj().at("result").get_obj().at("uuid").get_str();
    const Value answer = rpc(R"({"jsonrpc":"2.0","id":2,"method":"qingcloud.list","params":{
        "uuid":")" + env + R"(","subtype":"inventory","view":"hosts"}})");
    const json_spirit::Object& error = answer.get_obj().at("error").get_obj();
    EXPECT_EQ(error.at("code"), Value(-32603));
    EXPECT_EQ(error.at("message"), Value("Failed to login qingcloud"));
    const json_spirit::Object& data = error.at("data").get_obj();
    EXPECT_FALSE(data.at("log").get_array().empty());
    EXPECT_EQ(data.at("hint").get_str().rfind(c.hint, 0), 0u) << data.at("hint").get_str();
    testing_support::expect_no_canary(json_spirit::JSON_Dump(answer, false).str(), "the answer");
    EXPECT_EQ(json_spirit::JSON_Dump(answer, false).str().find(Simulator::BOSS_SECRET),
              std::string::npos);
  }
}

// A secret typed into the console's form leaves no copy in freed memory:
// not in the HTTP core's buffers, the request's text, its JSON values or
// what the host makes of them.
TEST_F(Console_Service_Test, ASecretSentThroughTheServiceLeavesNoCopyInFreedMemory) {
  if (!testing_support::Freed_Memory_Watch::available())
    GTEST_SKIP() << "a sanitizer's allocator cannot be watched";
  const std::string secret = "typed-s3cret-0815";
  const std::string body = R"({"jsonrpc":"2.0","id":1,"method":"host.environments.add","params":{
      "boss_host":"b","api_host":"a","access_key":"K","secret_access_key":")" +
                           secret + R"("}})";
  std::string request =
      "POST /rpc HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(service.port()) +
      "\r\nAuthorization: Bearer " + service.token() +
      "\r\nContent-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) +
      "\r\nConnection: close\r\n\r\n" + body;
  std::string answer;
  {
    std::vector<std::string> watched = {secret};  // no copy of it freed while watched
    testing_support::Freed_Memory_Watch watch(std::move(watched), true);
    const int fd = connect_to(service.port());
    ASSERT_EQ(::send(fd, request.data(), request.size(), 0), static_cast<ssize_t>(request.size()));
    answer = answer_head(fd);
    ::close(fd);
    for (int i = 0; i < 200 && service.connections() > 0; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    secure_wipe(&request[0], request.size());
    EXPECT_THAT(watch.hits(), ::testing::IsEmpty());
  }
  EXPECT_EQ(answer.rfind("HTTP/1.1 200 ", 0), 0u) << answer;
}

// A platform that takes connections and never answers holds every handler
// thread; the host's own methods and /healthz are answered all the same,
// and platform requests past the queue are told at once that the service
// is busy.
TEST_F(Console_Service_Test, APlatformThatNeverAnswersHoldsOnlyItsOwnRequests) {
  testing_support::Scripted_HTTP_Server silent;
  for (int i = 0; i < 3; ++i)
    silent.script(testing_support::Scripted_Reply::silence());
  const std::string stuck = rpc(R"({"jsonrpc":"2.0","id":1,"method":"host.environments.add",
      "params":{"boss_host":"127.0.0.1","api_host":"127.0.0.1","ssl":false,"port":)" +
                                std::to_string(silent.port()) +
                                R"(,"access_key":"K","secret_access_key":"s","test":false}})")
                                .get_obj()
                                .at("result")
                                .get_obj()
                                .at("uuid")
                                .get_str();
  Console_Service held(host);
  Console_Options options;
  options.threads = 2;
  options.max_queued = 1;
  std::string error;
  ASSERT_TRUE(held.bind(options, error)) << error;
  std::thread serving([&held] { held.run(); });
  auto post = [&held](const std::string& body) {
    httplib::Client c("127.0.0.1", held.port());
    c.set_read_timeout(60, 0);
    auto res =
        c.Post("/rpc", {{"Authorization", "Bearer " + held.token()}}, body, "application/json");
    return res ? json_value(res->body) : Value();
  };
  const std::string test =
      R"({"jsonrpc":"2.0","id":7,"method":"host.environments.test","params":{"uuid":")" + stuck +
      R"("}})";
  std::vector<std::thread> waiting;
  for (int i = 0; i < 3; ++i)
    waiting.emplace_back([&] { post(test); });
  for (int i = 0; i < 1000 && (held.load().busy < 2 || held.load().queued < 1); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(held.load().busy, 2u);
  EXPECT_EQ(held.load().queued, 1u);

  const Value listed = post(R"({"jsonrpc":"2.0","id":8,"method":"host.environments.list"})");
  EXPECT_EQ(listed.get_obj().at("result").get_array().size(), 2u);
  httplib::Client health("127.0.0.1", held.port());
  auto ok = health.Get("/healthz");
  EXPECT_TRUE(ok && ok->status == 200);
  EXPECT_EQ(post(test), json_value(R"({"jsonrpc":"2.0","id":7,"error":{"code":-32603,"data":null,
      "message":"Internal error: the service is busy: its 2 handler threads are all at work and 1 requests wait; try again in a moment"}})"));

  silent.release_silent();
  for (std::thread& t : waiting)
    t.join();
  held.stop();
  serving.join();
}

}  // namespace
