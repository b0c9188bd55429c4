// Exchanges of a session with a scripted server on 127.0.0.1.
#include "api/qingcloud_session.h"

#include <cerrno>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "api/qingcloud_session_test_peer.h"
#include "host/http/http_session_factory.h"
#include "host/json_spirit/object_get.h"
#include "host/json_spirit/reader.h"
#include "testing/exception_text.h"
#include "testing/json_text.h"
#include "testing/log_capture.h"
#include "testing/scripted_http_server.h"
#include "testing/signature_check.h"

namespace qingcloud {
namespace {

using testing_support::Received_Request;
using testing_support::Scripted_Reply;

const char* const KEY_ID = "AKID-CANARY";
const char* const SECRET = "SECRET-CANARY-KEY";

std::time_t g_now = 1709251199;  // 2024-02-29T23:59:59Z
std::time_t stepping_clock() {
  return g_now;
}

json_spirit::Object parse(const std::string& text) {
  return testing_support::json_value(text).get_obj();
}

// What the JSON library says when a reply has no integer "ret_code".
std::string ret_code_error(const std::string& reply) {
  return testing_support::exception_text(
      [&] { json_spirit::object_get_int64_or_throw(parse(reply), "ret_code"); });
}

// What the JSON reader says about a text that is not JSON.
std::string parse_error(const std::string& text) {
  json_spirit::Value v;
  std::string error;
  EXPECT_FALSE(json_spirit::read(text, v, &error));
  return error;
}

json_spirit::Object describe_zones() {
  return parse(R"({"action":"DescribeZones","status":["active"],"version":1,
                   "signature_version":1,"signature_method":"HmacSHA256"})");
}

class QingCloud_Session_Exchange : public ::testing::Test {
 protected:
  void SetUp() override { connect(server_.port()); }

  void TearDown() override {
    // Neither the secret nor anything of the query string reaches a log line.
    for (const std::string& m : log_.messages()) {
      EXPECT_EQ(m.find(SECRET), std::string::npos) << m;
      EXPECT_EQ(m.find(KEY_ID), std::string::npos) << m;
      EXPECT_EQ(m.find("signature="), std::string::npos) << m;
    }
  }

  void connect(unsigned short port) {
    session_ = std::make_unique<QingCloud_Session>();
    ASSERT_TRUE(
        session_->connect("127.0.0.1", port, false, secure_string(KEY_ID), secure_string(SECRET)));
    QingCloud_Session_Peer::set_clock(*session_, stepping_clock);
  }

  // The session speaks through an HTTP session with 1-second time-outs.
  void use_short_timeouts() {
    QingCloud_Session_Peer::set_http_session(
        *session_, HTTP_Session_Factory::create("127.0.0.1", server_.port(), false, nullptr, 3,
                                                nullptr, false, 1, 1, 1, 0));
  }

  bool get(const json_spirit::Object& params) {
    result_.clear();
    return session_->send_request(HTTP_METHOD_GET, "/iaas/", params, result_);
  }

  bool post(const json_spirit::Object& params) {
    result_.clear();
    return session_->send_request(HTTP_METHOD_POST, "/boss2/", params, result_);
  }

  std::string url(const char* path) const {
    return "http://127.0.0.1:" + std::to_string(server_.port()) + path;
  }

  bool logged_with(const std::string& head, const std::string& tail) const {
    for (const std::string& m : log_.messages()) {
      if (m.compare(0, head.size(), head) == 0 && m.size() >= tail.size() &&
          m.compare(m.size() - tail.size(), tail.size(), tail) == 0)
        return true;
    }
    return false;
  }

  testing_support::Scripted_HTTP_Server server_;
  testing_support::Log_Capture log_;
  std::unique_ptr<QingCloud_Session> session_;
  json_spirit::Object result_;
};

TEST_F(QingCloud_Session_Exchange, AnsweredGetIsSignedAndReturnsTheWholeReply) {
  server_.script(
      Scripted_Reply::json(R"({"ret_code":0,"total_count":1,"zone_set":[{"zone_id":"pek3"}]})"));
  ASSERT_TRUE(get(describe_zones()));
  EXPECT_EQ(session_->err_code(), 0);
  EXPECT_EQ(session_->api_err_msg(), "");
  EXPECT_EQ(result_.at("total_count").get_int(), 1);
  EXPECT_EQ(result_.at("zone_set").get_array().size(), 1u);

  auto got = server_.received();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].method, "GET");
  EXPECT_EQ(got[0].path, "/iaas/");
  EXPECT_EQ(got[0].body, "");
  EXPECT_EQ(got[0].query.rfind(
                "access_key_id=AKID-CANARY&action=DescribeZones&signature_method=HmacSHA256&"
                "signature_version=1&status.1=active&time_stamp=2024-02-29T23%3A59%3A59Z&"
                "version=1&signature=",
                0),
            0u)
      << got[0].query;
  auto verdict = testing_support::check_signature("GET", "/iaas/", got[0].query, SECRET);
  EXPECT_TRUE(verdict.accepted) << verdict.reason;
  EXPECT_TRUE(log_.messages().empty());
}

TEST_F(QingCloud_Session_Exchange, PostSendsTheSignedFormAsBody) {
  ASSERT_TRUE(post(parse(R"({"action":"DescribeUsers","zone":"pek3","limit":10,"version":1})")));
  auto got = server_.received();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].method, "POST");
  EXPECT_EQ(got[0].path, "/boss2/");
  EXPECT_EQ(got[0].query, "");
  EXPECT_EQ(got[0].header("Content-Type"), "application/x-www-form-urlencoded");
  EXPECT_EQ(got[0].header("Content-Length"), std::to_string(got[0].body.size()));
  EXPECT_EQ(got[0].header("Expect"), "");
  EXPECT_EQ(
      got[0].body.rfind("access_key_id=AKID-CANARY&action=DescribeUsers&params=%7B%22action%22%3A%"
                        "22DescribeUsers%22%2C%22limit%22%3A10%2C%22version%22%3A1%2C%22zone%22%3A%"
                        "22pek3%22%7D&time_stamp=2024-02-29T23%3A59%3A59Z&signature=",
                        0),
      0u)
      << got[0].body;
  auto verdict = testing_support::check_signature("POST", "/boss2/", got[0].body, SECRET);
  EXPECT_TRUE(verdict.accepted) << verdict.reason;
  EXPECT_EQ(testing_support::decode_form(got[0].body).size(), 5u);
}

TEST_F(QingCloud_Session_Exchange, RequestsASecondApartCarryDifferentStampsAndSignatures) {
  ASSERT_TRUE(get(describe_zones()));
  ++g_now;
  ASSERT_TRUE(get(describe_zones()));
  --g_now;
  auto got = server_.received();
  ASSERT_EQ(got.size(), 2u);
  auto first = testing_support::decode_form(got[0].query);
  auto second = testing_support::decode_form(got[1].query);
  EXPECT_EQ(first["time_stamp"], "2024-02-29T23:59:59Z");
  EXPECT_EQ(second["time_stamp"], "2024-03-01T00:00:00Z");
  EXPECT_NE(first["signature"], second["signature"]);
  for (const Received_Request& r : got) {
    auto verdict = testing_support::check_signature("GET", "/iaas/", r.query, SECRET);
    EXPECT_TRUE(verdict.accepted) << verdict.reason;
  }
}

TEST_F(QingCloud_Session_Exchange, PlatformErrorsKeepNumberMessageAndReply) {
  server_.script(Scripted_Reply::json(R"({"ret_code":1400,"message":"PermissionDenied, no"})"));
  EXPECT_FALSE(get(describe_zones()));
  EXPECT_EQ(session_->err_code(), 1400);
  EXPECT_EQ(session_->api_err_msg(), "PermissionDenied, no");
  EXPECT_EQ(result_.at("ret_code").get_int(), 1400);
  EXPECT_TRUE(log_.has("Failed to call api: errno=1400, PermissionDenied, no.\n"));

  // The next call starts afresh: a bare "ret_code" 0 leaves no message.
  server_.script(Scripted_Reply::json(R"({"ret_code":0})"));
  EXPECT_TRUE(get(describe_zones()));
  EXPECT_EQ(session_->err_code(), 0);
  EXPECT_EQ(session_->api_err_msg(), "");
}

TEST_F(QingCloud_Session_Exchange, RepliesThatCarryNoAnswer) {
  struct Case {
    const char* name;
    Scripted_Reply reply;
    int err_code;
    std::string message;
  } cases[] = {
      {"no ret_code", Scripted_Reply::json(R"({"message":"hello"})"), -1,
       "Invalid response format, exception: " + ret_code_error(R"({"message":"hello"})") + ".\n"},
      {"ret_code not an integer", Scripted_Reply::json(R"({"ret_code":"0"})"), -1,
       "Invalid response format, exception: " + ret_code_error(R"({"ret_code":"0"})") + ".\n"},
      {"ret_code a real", Scripted_Reply::json(R"({"ret_code":1e3})"), -1,
       "Invalid response format, exception: " + ret_code_error(R"({"ret_code":1e3})") + ".\n"},
      // Narrowed, these would read as 0 and 2147483647.
      {"ret_code above 32 bits", Scripted_Reply::json(R"({"ret_code":4294967296})"), -1,
       "Invalid response format, exception: 'ret_code' 4294967296 is not a 32-bit integer.\n"},
      {"ret_code below 32 bits", Scripted_Reply::json(R"({"ret_code":-2147483649})"), -1,
       "Invalid response format, exception: 'ret_code' -2147483649 is not a 32-bit integer.\n"},
      {"404 with a body", Scripted_Reply::with_status(404, R"({"ret_code":0})"), -2,
       "Failed to send request to '" + url("/iaas/") + "', status=404, has body.\n"},
      {"200 without a body", Scripted_Reply::with_status(200), -2,
       "Failed to send request to '" + url("/iaas/") + "', status=200, has no body.\n"},
      {"500 without a body", Scripted_Reply::with_status(500), -2,
       "Failed to send request to '" + url("/iaas/") + "', status=500, has no body.\n"},
      {"a body that is not JSON", Scripted_Reply::not_json("<html>busy</html>"), -1,
       "Invalid JSON reply from '" + url("/iaas/") + "': " + parse_error("<html>busy</html>") +
           ".\n"},
      {"JSON that is not an object", Scripted_Reply::json("[1,2]"), -1,
       "JSON reply from '" + url("/iaas/") + "' is not an object.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    log_.clear();
    server_.script(c.reply);
    EXPECT_FALSE(get(describe_zones()));
    EXPECT_EQ(session_->err_code(), c.err_code);
    EXPECT_EQ(session_->api_err_msg(), "");
    EXPECT_TRUE(log_.has(c.message)) << ::testing::PrintToString(log_.messages());
    EXPECT_EQ(log_.messages().size(), 1u) << "each failure is logged once";
  }
}

TEST_F(QingCloud_Session_Exchange, BadRequestsFailBeforeAnyTraffic) {
  EXPECT_FALSE(get(parse(R"({"zone":"pek3"})")));
  EXPECT_EQ(session_->err_code(), -1);
  EXPECT_TRUE(log_.has("Parameter missing 'action'.\n"));

  EXPECT_FALSE(session_->send_request(2, "/iaas/", describe_zones(), result_));
  EXPECT_EQ(session_->err_code(), -1);
  EXPECT_TRUE(log_.has("Unsupported request method: 2.\n"));

  EXPECT_FALSE(session_->send_request(HTTP_METHOD_GET, nullptr, describe_zones(), result_));
  EXPECT_TRUE(log_.has_unexpected("uri is NULL or \"\""));
  EXPECT_FALSE(session_->send_request(HTTP_METHOD_GET, "", describe_zones(), result_));
  EXPECT_EQ(session_->err_code(), -1);

  QingCloud_Session unconnected;
  EXPECT_FALSE(unconnected.send_request(HTTP_METHOD_GET, "/iaas/", describe_zones(), result_));
  EXPECT_EQ(unconnected.err_code(), -1);
  EXPECT_TRUE(log_.has_unexpected("sess_ is NULL"));

  EXPECT_TRUE(server_.received().empty());
  EXPECT_EQ(server_.connections(), 0u);
}

TEST_F(QingCloud_Session_Exchange, RefusedConnectionsAreNetworkErrors) {
  unsigned short closed_port = 0;
  {
    testing_support::Scripted_HTTP_Server gone;
    closed_port = gone.port();
  }
  connect(closed_port);
  const std::string at = "http://127.0.0.1:" + std::to_string(closed_port);

  EXPECT_FALSE(get(describe_zones()));
  EXPECT_EQ(session_->err_code(), -2);
  EXPECT_TRUE(log_.has("Failed to send request to '" + at + "/iaas/'.\n"));
  EXPECT_TRUE(logged_with("HTTP exchange with '" + at + "/iaas/' failed: ",
                          ", errno=111, Connection refused.\n"));

  EXPECT_FALSE(post(describe_zones()));
  EXPECT_EQ(session_->err_code(), -2);
  EXPECT_TRUE(log_.has("Failed to receive response from '" + at +
                       "/boss2/', errno=111, Connection refused.\n"));
}

TEST_F(QingCloud_Session_Exchange, SilentServersTimeOut) {
  use_short_timeouts();
  server_.script(Scripted_Reply::silence());
  EXPECT_FALSE(get(describe_zones()));
  EXPECT_EQ(session_->err_code(), -2);
  EXPECT_TRUE(log_.has("Failed to send request to '" + url("/iaas/") + "'.\n"));
  EXPECT_TRUE(logged_with("HTTP exchange with '" + url("/iaas/") + "' failed: ",
                          ", errno=110, Connection timed out.\n"));

  server_.script(Scripted_Reply::silence());
  EXPECT_FALSE(post(describe_zones()));
  EXPECT_EQ(session_->err_code(), -2);
  EXPECT_TRUE(log_.has("Failed to receive response from '" + url("/boss2/") +
                       "', errno=110, Connection timed out.\n"));
}

TEST_F(QingCloud_Session_Exchange, OneSessionKeepsOneConnection) {
  for (int i = 0; i < 100; ++i) {
    ASSERT_TRUE(i % 2 ? get(describe_zones()) : post(describe_zones())) << i;
  }
  EXPECT_EQ(server_.received().size(), 100u);
  EXPECT_EQ(server_.connections(), 1u);
}

TEST(QingCloud_Session, ConnectFailsWhenNoHttpSessionCanBeMade) {
  testing_support::Log_Capture log;
  QingCloud_Session session;
  EXPECT_FALSE(session.connect("", 443, true, secure_string("AK"), secure_string("S")));
  EXPECT_EQ(session.port(), 443);
  EXPECT_TRUE(session.ssl());
  EXPECT_EQ(session.err_code(), 0);
  EXPECT_TRUE(log.has("Failed to create HTTP session for '' port 443: no host.\n"));
}

}  // namespace
}  // namespace qingcloud
