// The HTTP library against a scripted server on 127.0.0.1.
#include "host/http/http_session.h"

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/http/http_json_reader.h"
#include "host/http/http_method.h"
#include "host/http/http_test_support.h"
#include "testing/log_capture.h"
#include "testing/scripted_http_server.h"

namespace {

using http_test::local_session;
using http_test::Plain_Response;
using testing_support::Scripted_Reply;

class HTTP_Session_Exchange : public ::testing::Test {
 protected:
  std::string url(const char* path) const {
    return "http://127.0.0.1:" + std::to_string(server_.port()) + path;
  }

  // A POST whose head is taken now and whose exchange runs at read_head.
  HTTP_Connection_var open_post(const HTTP_Session_var& s, const std::string& body) {
    HTTP_Request req(HTTP_METHOD_POST, "/boss2/", true);
    req.content_length(body.size());
    HTTP_Connection_var conn = s->send(req, nullptr);
    EXPECT_NE(conn, nullptr);
    if (conn) {
      EXPECT_EQ(conn->write(body.data(), body.size()), static_cast<ssize_t>(body.size()));
    }
    return conn;
  }

  testing_support::Scripted_HTTP_Server server_;
  testing_support::Log_Capture log_;
};

TEST_F(HTTP_Session_Exchange, GetReadsHeadAndBody) {
  server_.script(Scripted_Reply::json(R"({"ret_code":0,"n":1})"));
  auto s = local_session(server_.port());
  HTTP_Request req(HTTP_METHOD_GET, "/iaas/", true);
  req.query_string("action=A&v=%2F%20");
  Plain_Response resp;
  HTTP_Connection_var conn = s->send(req, &resp);
  ASSERT_NE(conn, nullptr);
  EXPECT_EQ(resp.status(), 200);
  EXPECT_EQ(resp.minor_version(), 1);
  EXPECT_TRUE(resp.has_body());
  ASSERT_NE(resp.headers().find("content-type"), nullptr);
  EXPECT_EQ(*resp.headers().find("content-type"), "application/json");
  EXPECT_EQ(conn->url(), url("/iaas/")) << "the printable URL has no query string";
  EXPECT_EQ(HTTP_Session_URL(s, req).c_str(), url("/iaas/"));

  json_spirit::Object reply;
  ASSERT_TRUE(read(conn, reply));
  EXPECT_EQ(reply.at("n").get_int(), 1);

  auto got = server_.received();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].path, "/iaas/");
  EXPECT_EQ(got[0].query, "action=A&v=%2F%20");
  EXPECT_EQ(got[0].header("User-Agent"), "") << "none unless the session names one";
}

TEST_F(HTTP_Session_Exchange, HundredRequestsShareOneConnection) {
  auto s = local_session(server_.port());
  for (int i = 0; i < 100; ++i) {
    Plain_Response resp;
    HTTP_Request req(HTTP_METHOD_GET, "/iaas/", true);
    ASSERT_NE(s->send(req, &resp), nullptr) << i;
    ASSERT_EQ(resp.status(), 200);
  }
  EXPECT_EQ(server_.received().size(), 100u);
  EXPECT_EQ(server_.connections(), 1u);
  EXPECT_EQ(s->idle_connections(), 1u);
}

TEST_F(HTTP_Session_Exchange, AtMostThreeIdleConnectionsAreKept) {
  auto s = local_session(server_.port());
  std::vector<HTTP_Connection_var> held;
  for (int i = 0; i < 4; ++i) {
    held.push_back(open_post(s, "x=" + std::to_string(i)));
    Plain_Response resp;
    ASSERT_EQ(held.back()->read_head(resp), 0);
  }
  EXPECT_EQ(server_.connections(), 4u);
  held.clear();
  EXPECT_EQ(s->idle_connections(), 3u);

  for (int i = 0; i < 4; ++i) {
    held.push_back(open_post(s, "y"));
    Plain_Response resp;
    ASSERT_EQ(held.back()->read_head(resp), 0);
  }
  EXPECT_EQ(server_.connections(), 5u) << "three reused, one new";
  EXPECT_EQ(server_.received().size(), 8u);
  EXPECT_EQ(server_.received()[0].body, "x=0");
}

TEST_F(HTTP_Session_Exchange, FreshConnectionsAndClosingRequestsAreNotReused) {
  auto fresh = local_session(server_.port(), HTTP_Session_Factory::FRESH_CONNECTIONS);
  for (int i = 0; i < 3; ++i) {
    Plain_Response resp;
    ASSERT_NE(fresh->send(HTTP_Request(HTTP_METHOD_GET, "/", true), &resp), nullptr);
  }
  EXPECT_EQ(server_.connections(), 3u);

  auto s = local_session(server_.port(), 0, "qc-test/1");
  for (int i = 0; i < 2; ++i) {
    Plain_Response resp;
    ASSERT_NE(s->send(HTTP_Request(HTTP_METHOD_GET, "/", false), &resp), nullptr);
  }
  EXPECT_EQ(server_.connections(), 5u);
  auto got = server_.received();
  EXPECT_EQ(got.back().header("Connection"), "close");
  EXPECT_EQ(got.back().header("User-Agent"), "qc-test/1");

  // One request that must not be sent twice gets a connection of its own;
  // the next one reuses what is kept.
  auto kept = local_session(server_.port());
  for (bool once : {false, true, false}) {
    HTTP_Request req(HTTP_METHOD_GET, "/", true);
    req.fresh_connection(once);
    Plain_Response resp;
    ASSERT_NE(kept->send(req, &resp), nullptr);
  }
  EXPECT_EQ(server_.connections(), 7u);
}

// The stall time-outs restart with every byte: a reply that trickles in is
// ended by the deadline of the whole exchange.
TEST_F(HTTP_Session_Exchange, AnExchangeEndsAtItsDeadlineHoweverSteadilyItMoves) {
  HTTP_Session_Settings settings;
  settings.host = "127.0.0.1";
  settings.port = server_.port();
  settings.idle_connections = 3;
  settings.send_timeout = settings.recv_timeout = settings.conn_timeout = 1;
  settings.exchange_deadline = 1;
  auto s = HTTP_Session_Factory::create(settings, false);
  ASSERT_NE(s, nullptr);
  server_.script(Scripted_Reply::trickling());
  Plain_Response resp;
  EXPECT_EQ(s->send(HTTP_Request(HTTP_METHOD_GET, "/iaas/", true), &resp), nullptr);
  EXPECT_EQ(errno, ETIMEDOUT);
  EXPECT_TRUE(log_.has("HTTP exchange with '" + url("/iaas/") +
                       "' failed: it ran out of time (1 s, the longest an exchange may take), "
                       "errno=110, Connection timed out.\n"))
      << ::testing::PrintToString(log_.messages());
}

TEST_F(HTTP_Session_Exchange, RedirectsAreNotFollowed) {
  Scripted_Reply moved = Scripted_Reply::with_status(302, "moved");
  moved.headers.emplace_back("Location", url("/elsewhere"));
  server_.script(moved);
  auto s = local_session(server_.port());
  Plain_Response resp;
  ASSERT_NE(s->send(HTTP_Request(HTTP_METHOD_GET, "/iaas/", true), &resp), nullptr);
  EXPECT_EQ(resp.status(), 302);
  EXPECT_EQ(server_.received().size(), 1u);
}

// A session lives for one request of the plug-in; the connection outlives
// it, for the next session to the same endpoint.
TEST_F(HTTP_Session_Exchange, SessionsToOneEndpointShareKeptConnections) {
  for (int i = 0; i < 3; ++i) {
    auto s = local_session(server_.port());
    Plain_Response resp;
    ASSERT_NE(s->send(HTTP_Request(HTTP_METHOD_GET, "/iaas/", true), &resp), nullptr);
  }
  EXPECT_EQ(server_.connections(), 1u);
  EXPECT_EQ(local_session(server_.port())->idle_connections(), 1u);
}

TEST_F(HTTP_Session_Exchange, RepliesArriveWholeWhateverTheirLengthAndFraming) {
  // Around the room a declared length is given at once (4 MiB).
  const std::size_t sizes[] = {1, 150 << 10, (4 << 20) + 1, 6 << 20};
  auto s = local_session(server_.port());
  for (std::size_t size : sizes) {
    for (bool announced : {true, false}) {
      SCOPED_TRACE(std::to_string(size) + (announced ? " announced" : " chunked"));
      server_.script(Scripted_Reply::oversized(size, announced));
      HTTP_Connection_var conn = open_post(s, "");
      Plain_Response resp;
      ASSERT_EQ(conn->read_head(resp), 0);
      EXPECT_EQ(conn->body().size(), size);
    }
  }
  EXPECT_TRUE(log_.messages().empty());
}

TEST_F(HTTP_Session_Exchange, RepliesOverTheSizeCapFail) {
  const std::size_t too_big = HTTP_Session_Factory::MAX_BODY_SIZE + 1;
  const std::string message =
      "Reply from '" + url("/boss2/") + "' exceeds 67108864 bytes, errno=90, Message too long.\n";
  auto s = local_session(server_.port());
  for (bool announced : {true, false}) {
    SCOPED_TRACE(announced ? "announced length" : "chunked");
    log_.clear();
    server_.script(Scripted_Reply::oversized(too_big, announced));
    HTTP_Connection_var conn = open_post(s, "");
    Plain_Response resp;
    EXPECT_EQ(conn->read_head(resp), -1);
    EXPECT_EQ(conn->last_error(), EMSGSIZE);
    EXPECT_TRUE(log_.has(message)) << ::testing::PrintToString(log_.messages());
  }
}

TEST_F(HTTP_Session_Exchange, MisusedConnectionsFailPlainly) {
  auto s = local_session(server_.port());

  HTTP_Request injected(HTTP_METHOD_GET, "/iaas/", true);
  injected.headers().set("X-Note", "a\r\nX-Evil: 1");
  EXPECT_EQ(s->send(injected, nullptr), nullptr);
  EXPECT_TRUE(log_.has("Invalid header field 'X-Note' for '" + url("/iaas/") + "'.\n"));

  EXPECT_EQ(s->send(HTTP_Request(HTTP_METHOD_PUT, "/iaas/", true), nullptr), nullptr);
  EXPECT_TRUE(log_.has("Unsupported HTTP method 12 for '" + url("/iaas/") + "'.\n"));

  // A body longer than its Content-Length is cut at it.
  HTTP_Request req(HTTP_METHOD_POST, "/boss2/", true);
  req.content_length(3);
  HTTP_Connection_var conn = s->send(req, nullptr);
  ASSERT_NE(conn, nullptr);
  EXPECT_EQ(conn->write("abcde", 5), 3);
  EXPECT_EQ(conn->last_error(), EMSGSIZE);
  Plain_Response resp;
  ASSERT_EQ(conn->read_head(resp), 0);
  EXPECT_EQ(server_.received().back().body, "abc");
  EXPECT_EQ(conn->read_head(resp), -1);
  EXPECT_EQ(conn->last_error(), EINVAL);
  EXPECT_EQ(conn->write("x", 1), -1);

  // One shorter than its Content-Length is not sent.
  HTTP_Connection_var short_body = s->send(req, nullptr);
  ASSERT_NE(short_body, nullptr);
  EXPECT_EQ(short_body->write("ab", 2), 2);
  EXPECT_EQ(short_body->read_head(resp), -1);
  EXPECT_EQ(short_body->last_error(), EINVAL);
  EXPECT_TRUE(log_.has("Request body for '" + url("/boss2/") +
                       "' has 2 bytes, its Content-Length says 3.\n"));
  EXPECT_EQ(server_.received().size(), 1u);

  json_spirit::Object reply;
  EXPECT_FALSE(read(HTTP_Connection_var(), reply));
  EXPECT_TRUE(log_.has_unexpected("conn is NULL"));
}

TEST_F(HTTP_Session_Exchange, ConnectingNowFindsOutEarly) {
  auto s = HTTP_Session_Factory::create("127.0.0.1", server_.port(), false, nullptr, 3, nullptr,
                                        true, 1, 1, 1, 0);
  EXPECT_NE(s, nullptr);
  EXPECT_TRUE(server_.wait_for_connections(1));

  unsigned short closed_port = 0;
  {
    testing_support::Scripted_HTTP_Server gone;
    closed_port = gone.port();
  }
  EXPECT_EQ(HTTP_Session_Factory::create("127.0.0.1", closed_port, false, nullptr, 3, nullptr, true,
                                         1, 1, 1, 0),
            nullptr);
  const std::string head =
      "Failed to connect to 'http://127.0.0.1:" + std::to_string(closed_port) + "/': ";
  const std::string tail = ", errno=111, Connection refused.\n";
  bool found = false;
  for (const std::string& m : log_.messages())
    found = found || (m.rfind(head, 0) == 0 && m.size() > tail.size() &&
                      m.compare(m.size() - tail.size(), tail.size(), tail) == 0);
  EXPECT_TRUE(found) << ::testing::PrintToString(log_.messages());
}

}  // namespace
