// Sessions through a real HTTP proxy (tinyproxy) to local servers, plain and
// TLS, chosen host-wide or by the environment.
#include <cerrno>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "host/http/http_method.h"
#include "host/http/http_proxy.h"
#include "host/http/http_session_factory.h"
#include "host/http/http_test_support.h"
#include "host/http/http_tls_context.h"
#include "testing/canary.h"
#include "testing/log_capture.h"
#include "testing/scripted_http_server.h"
#include "testing/test_certificate.h"
#include "testing/tinyproxy.h"

namespace {

using http_test::Plain_Response;
using testing_support::Scripted_HTTP_Server;
using testing_support::Tinyproxy;

class HTTP_Proxy_Session : public ::testing::Test {
 protected:
  void SetUp() override {
    testing_support::add_canary(PASSWORD);
    saved_ca_ = HTTP_TLS_Context::default_ca_file();
    HTTP_TLS_Context::set_default_ca_file(certificate_.pem_file());
  }
  void TearDown() override {
    std::string why;
    http_set_default_proxy("", why);
    HTTP_TLS_Context::set_default_ca_file(saved_ca_);
  }

  void use_proxy(const std::string& url) {
    std::string why;
    ASSERT_TRUE(http_set_default_proxy(url, why)) << why;
  }

  // One POST to `server`; its status, or -1 with the connection's error
  // number in `error`.
  static int exchange(const Scripted_HTTP_Server& server, bool ssl, int* error = nullptr) {
    auto s = HTTP_Session_Factory::create("127.0.0.1", server.port(), ssl, nullptr, 3, nullptr,
                                          false, 2, 2, 2, 0);
    if (!s) return -1;
    HTTP_Request req(HTTP_METHOD_POST, "/iaas/", true);
    HTTP_Connection_var conn = s->send(req, nullptr);
    if (!conn) return -1;
    Plain_Response resp;
    if (conn->read_head(resp) != 0) {
      if (error) *error = conn->last_error();
      return -1;
    }
    return resp.status();
  }

  static constexpr const char* PASSWORD = "pr0xy-s3cret";
  testing_support::Test_Certificate certificate_{"IP:127.0.0.1"};
  Scripted_HTTP_Server plain_;
  Scripted_HTTP_Server tls_{certificate_};
  testing_support::Log_Capture log_;
  std::string saved_ca_;
};

// Plain HTTP goes to the proxy as a request for the whole URL, TLS through a
// CONNECT tunnel with the server's certificate checked end to end; the
// proxy's credentials go along and are never printed.
TEST_F(HTTP_Proxy_Session, RequestsGoThroughTheProxyWithItsCredentials) {
  Tinyproxy proxy({"ops", PASSWORD, false});
  ASSERT_TRUE(proxy.running());
  use_proxy(proxy.url_with_credentials());
  EXPECT_EQ(exchange(plain_, false), 200);
  EXPECT_EQ(exchange(tls_, true), 200);
  EXPECT_EQ(plain_.received().size(), 1u);
  EXPECT_EQ(tls_.received().size(), 1u);
  const std::string log = proxy.log();
  EXPECT_NE(log.find("POST http://127.0.0.1:" + std::to_string(plain_.port()) + "/iaas/"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("CONNECT 127.0.0.1:" + std::to_string(tls_.port())), std::string::npos) << log;

  // Without them the proxy answers 407 itself.
  use_proxy(proxy.url());
  EXPECT_EQ(exchange(plain_, false), 407);
  EXPECT_EQ(plain_.received().size(), 1u);
}

// A proxy that refuses, or is not there, fails the exchange with a message
// that names it.
TEST_F(HTTP_Proxy_Session, AProxyThatRefusesOrIsDownIsNamed) {
  Tinyproxy refusing({"", "", true});
  ASSERT_TRUE(refusing.running());
  use_proxy(refusing.url());
  EXPECT_EQ(exchange(plain_, false), 403);
  int error = 0;
  EXPECT_EQ(exchange(tls_, true, &error), -1);
  const std::string through = "https://127.0.0.1:" + std::to_string(tls_.port()) +
                              "/iaas/ through proxy " + refusing.url() + "' failed: ";
  ASSERT_FALSE(log_.messages().empty());
  EXPECT_NE(log_.messages().back().find(through), std::string::npos) << log_.messages().back();

  int down_port = 0;
  {
    Tinyproxy gone;
    down_port = gone.port();
  }
  use_proxy("http://ops:" + std::string(PASSWORD) + "@127.0.0.1:" + std::to_string(down_port));
  EXPECT_EQ(exchange(plain_, false, &error), -1);
  EXPECT_EQ(error, ECONNREFUSED);
  EXPECT_NE(log_.messages().back().find(
                "through proxy http://***@127.0.0.1:" + std::to_string(down_port) + "' failed: "),
            std::string::npos)
      << log_.messages().back();
  EXPECT_EQ(plain_.received().size() + tls_.received().size(), 0u);
}

// Without a host-wide proxy the environment's applies, unless no_proxy
// exempts the host.
TEST_F(HTTP_Proxy_Session, TheEnvironmentsProxyAppliesUnlessNoProxyExemptsTheHost) {
  Tinyproxy proxy;
  ASSERT_TRUE(proxy.running());
  ::setenv("https_proxy", proxy.url().c_str(), 1);
  EXPECT_EQ(exchange(tls_, true), 200);
  ::setenv("no_proxy", "localhost,127.0.0.0/8", 1);
  EXPECT_EQ(exchange(tls_, true), 200);
  ::unsetenv("https_proxy");
  ::unsetenv("no_proxy");
  EXPECT_EQ(tls_.received().size(), 2u);
  const std::string log = proxy.log();
  const std::string connect = "CONNECT 127.0.0.1:" + std::to_string(tls_.port());
  const std::size_t first = log.find(connect);
  EXPECT_NE(first, std::string::npos) << log;
  EXPECT_EQ(log.find(connect, first + 1), std::string::npos) << "the second went direct";
}

}  // namespace
