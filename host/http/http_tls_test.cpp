// TLS verification against a local HTTPS server with certificates made by the test.
#include <cerrno>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "host/http/http_connection_pool.h"
#include "host/http/http_method.h"
#include "host/http/http_session_factory.h"
#include "host/http/http_test_support.h"
#include "host/http/http_tls_context.h"
#include "testing/log_capture.h"
#include "testing/scripted_http_server.h"
#include "testing/test_certificate.h"

namespace {

using http_test::Plain_Response;
using testing_support::Scripted_HTTP_Server;
using testing_support::Test_Certificate;

// Sets the host-wide CA file for one test and puts the old one back.
class Default_CA_File {
 public:
  explicit Default_CA_File(const std::string& file) : saved_(HTTP_TLS_Context::default_ca_file()) {
    HTTP_TLS_Context::set_default_ca_file(file);
  }
  ~Default_CA_File() { HTTP_TLS_Context::set_default_ca_file(saved_); }

 private:
  std::string saved_;
};

class HTTP_TLS : public ::testing::Test {
 protected:
  // 0 when the exchange succeeded, else the connection's error number.
  static int exchange(const std::string& host, unsigned short port, const HTTP_TLS_Context* tls) {
    auto s = HTTP_Session_Factory::create(host, port, true, nullptr, 3, tls, false, 2, 2, 2, 0);
    if (!s) return -1;
    HTTP_Request req(HTTP_METHOD_POST, "/iaas/", true);
    HTTP_Connection_var conn = s->send(req, nullptr);
    if (!conn) return -1;
    Plain_Response resp;
    if (conn->read_head(resp) != 0) return conn->last_error();
    return resp.status() == 200 ? 0 : -1;
  }

  testing_support::Log_Capture log_;
  Test_Certificate local_{"IP:127.0.0.1,DNS:localhost"};
  Test_Certificate elsewhere_{"DNS:other.example"};
};

TEST_F(HTTP_TLS, UnknownAuthoritiesAreRefusedByDefault) {
  Scripted_HTTP_Server server(local_);
  EXPECT_EQ(exchange("127.0.0.1", server.port(), nullptr), EPROTO);
  EXPECT_TRUE(server.received().empty());
  const std::string head =
      "HTTP exchange with 'https://127.0.0.1:" + std::to_string(server.port()) + "/iaas/' failed: ";
  bool found = false;
  for (const std::string& m : log_.messages())
    found = found || m.rfind(head, 0) == 0;
  EXPECT_TRUE(found) << ::testing::PrintToString(log_.messages());
}

TEST_F(HTTP_TLS, TheHostWideCaFileIsTrusted) {
  Scripted_HTTP_Server server(local_);
  {
    Default_CA_File ca(local_.pem_file());
    EXPECT_EQ(exchange("127.0.0.1", server.port(), nullptr), 0);
    EXPECT_EQ(exchange("localhost", server.port(), nullptr), 0);
  }
  EXPECT_EQ(server.received().size(), 2u);
}

TEST_F(HTTP_TLS, AnExplicitContextNamesItsOwnCaFile) {
  Scripted_HTTP_Server server(local_);
  HTTP_TLS_Context own(local_.pem_file());
  EXPECT_EQ(exchange("127.0.0.1", server.port(), &own), 0);
  // An explicit context stands apart from the host-wide default.
  Default_CA_File other(elsewhere_.pem_file());
  EXPECT_EQ(exchange("127.0.0.1", server.port(), &own), 0);
  EXPECT_EQ(exchange("127.0.0.1", server.port(), nullptr), EPROTO);
}

TEST_F(HTTP_TLS, ACertificateForAnotherHostIsRefused) {
  Scripted_HTTP_Server server(elsewhere_);
  HTTP_TLS_Context trusted(elsewhere_.pem_file());
  EXPECT_EQ(exchange("127.0.0.1", server.port(), &trusted), EPROTO);
  EXPECT_TRUE(server.received().empty());
}

// A new connection to an endpoint resumes the TLS session of an earlier
// one, whichever thread made it: no full handshake.
TEST_F(HTTP_TLS, NewConnectionsResumeTheTlsSession) {
  Scripted_HTTP_Server server(local_);
  Default_CA_File ca(local_.pem_file());
  ASSERT_EQ(exchange("127.0.0.1", server.port(), nullptr), 0);
  HTTP_Connection_Pool::process().clear();  // the next exchange needs a new connection
  std::thread other([&] { EXPECT_EQ(exchange("127.0.0.1", server.port(), nullptr), 0); });
  other.join();
  EXPECT_EQ(server.connections(), 2u);
  EXPECT_EQ(server.tls_sessions_resumed(), 1);
}

}  // namespace
