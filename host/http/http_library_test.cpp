// The HTTP library's parts that need no server.
#include <cerrno>
#include <string>

#include <curl/curl.h>
#include <gtest/gtest.h>

#include "host/http/cgi_response.h"
#include "host/http/curl_handles.h"
#include "host/http/http_method.h"
#include "host/http/http_request.h"
#include "host/http/http_session_factory.h"
#include "host/http/http_test_support.h"
#include "host/http/http_tls_context.h"
#include "testing/log_capture.h"

namespace {

TEST(HTTP_Method, NamesTheNumbers) {
  EXPECT_STREQ(http_method_string(HTTP_METHOD_GET), "GET");
  EXPECT_STREQ(http_method_string(3), "GET");
  EXPECT_STREQ(http_method_string(9), "POST");
  EXPECT_STREQ(http_method_string(HTTP_METHOD_CONNECT), "CONNECT");
  EXPECT_STREQ(http_method_string(HTTP_METHOD_UNLOCK), "UNLOCK");
  EXPECT_EQ(http_method_string(-1), nullptr);
  EXPECT_EQ(http_method_string(15), nullptr);
}

TEST(HTTP_Headers, NamesCompareCaseInsensitively) {
  HTTP_Headers h;
  h.add("Set-Cookie", "a");
  h.add("set-cookie", "b");
  h.set("Content-Type", "text/plain");
  ASSERT_NE(h.find("SET-COOKIE"), nullptr);
  EXPECT_EQ(*h.find("SET-COOKIE"), "a");
  h.set("content-type", "application/json");
  EXPECT_EQ(h.fields().size(), 3u);
  EXPECT_EQ(*h.find("Content-Type"), "application/json");
  h.remove("Set-Cookie");
  EXPECT_EQ(h.find("set-cookie"), nullptr);
  EXPECT_EQ(h.fields().size(), 1u);
}

TEST(HTTP_Request, HoldsWhatTheSessionSets) {
  HTTP_Request r(HTTP_METHOD_POST, "/boss2/", true);
  r.content_length(1234);
  r.content_type("application/x-www-form-urlencoded");
  r.query_string("a=1");
  EXPECT_EQ(r.method(), 9);
  EXPECT_EQ(r.path(), "/boss2/");
  EXPECT_TRUE(r.keep_alive());
  EXPECT_EQ(r.query_string(), "a=1");
  EXPECT_EQ(*r.headers().find("Content-Length"), "1234");
  EXPECT_EQ(*r.headers().find("Content-Type"), "application/x-www-form-urlencoded");
  r.content_type(nullptr);
  EXPECT_EQ(r.headers().find("Content-Type"), nullptr);
  EXPECT_EQ(HTTP_Request(HTTP_METHOD_GET, nullptr, false).path(), "/");
}

std::string joined(const iovec* v, std::size_t n) {
  std::string out;
  for (std::size_t i = 0; i < n; ++i)
    out.append(static_cast<const char*>(v[i].iov_base), v[i].iov_len);
  return out;
}

TEST(CGI_Response, WritesItsHeadInCgiForm) {
  http_test::Plain_Response r;
  r.status(404);
  r.headers().add("Content-Type", "application/json");
  r.headers().add("X-Id", "7");
  ASSERT_EQ(r.iovec_count(), 10u);
  iovec v[10];
  ASSERT_EQ(r.to_iovec(v, 10), 10u);
  EXPECT_EQ(joined(v, 10), "Status: 404\r\nContent-Type: application/json\r\nX-Id: 7\r\n\r\n");
  EXPECT_EQ(r.to_iovec(v, 3), 3u) << "never more entries than given";
  EXPECT_EQ(joined(v, 3), "Status: 404\r\nContent-Type: ");
}

TEST(HTTP_TLS_Context, TheHostWideDefaultIsSharedAndReplaceable) {
  EXPECT_EQ(HTTP_TLS_Context().ca_file(), "");
  EXPECT_EQ(HTTP_TLS_Context("ca.pem").ca_file(), "ca.pem");
  HTTP_TLS_Context::set_default_ca_file("private-ca.pem");
  EXPECT_EQ(HTTP_TLS_Context::default_ca_file(), "private-ca.pem");
  HTTP_TLS_Context::set_default_ca_file("");
  EXPECT_EQ(HTTP_TLS_Context::default_ca_file(), "");
}

TEST(Curl_Errno, NamesTransferFailuresAsSystemErrors) {
  EXPECT_EQ(curl_errno(CURLE_OK, 0), 0);
  EXPECT_EQ(curl_errno(CURLE_COULDNT_CONNECT, 0), ECONNREFUSED);
  EXPECT_EQ(curl_errno(CURLE_COULDNT_CONNECT, ENETUNREACH), ENETUNREACH);
  EXPECT_EQ(curl_errno(CURLE_OPERATION_TIMEDOUT, 0), ETIMEDOUT);
  EXPECT_EQ(curl_errno(CURLE_RECV_ERROR, 0), ECONNRESET);
  EXPECT_EQ(curl_errno(CURLE_GOT_NOTHING, 0), ECONNRESET);
  EXPECT_EQ(curl_errno(CURLE_COULDNT_RESOLVE_HOST, 0), EHOSTUNREACH);
  EXPECT_EQ(curl_errno(CURLE_PEER_FAILED_VERIFICATION, 0), EPROTO);
  EXPECT_EQ(curl_errno(CURLE_FILESIZE_EXCEEDED, 0), EMSGSIZE);
  EXPECT_EQ(curl_errno(CURLE_OUT_OF_MEMORY, 0), ENOMEM);
  EXPECT_EQ(curl_errno(CURLE_FTP_WEIRD_227_FORMAT, 0), EIO);
}

TEST(HTTP_Session_Factory, RefusesUnusableArguments) {
  struct Case {
    const char* host;
    unsigned short port;
    int timeout;
    unsigned flags;
    const char* message;
  } cases[] = {
      {"", 80, 1, 0, "Failed to create HTTP session for '' port 80: no host.\n"},
      {"h", 0, 1, 0, "Failed to create HTTP session for 'h' port 0: port 0.\n"},
      {"h", 80, 0, 0,
       "Failed to create HTTP session for 'h' port 80: time-outs must be positive.\n"},
      {"h", 80, 1, 2, "Failed to create HTTP session for 'h' port 80: unknown flags.\n"},
      {"a b/c?d", 80, 1, 0,
       "Failed to create HTTP session for 'a b/c?d' port 80: not a valid host name or address.\n"},
  };
  for (const Case& c : cases) {
    testing_support::Log_Capture log;
    EXPECT_EQ(HTTP_Session_Factory::create(c.host, c.port, false, nullptr, 3, nullptr, false,
                                           c.timeout, 1, 1, c.flags),
              nullptr);
    EXPECT_TRUE(log.has(c.message)) << ::testing::PrintToString(log.messages());
  }
  // Making a session contacts nobody unless asked to.
  auto s = HTTP_Session_Factory::create("::1", 1, true, nullptr, 3, nullptr, false, 1, 1, 1, 0);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(HTTP_Session_URL(s, HTTP_Request(HTTP_METHOD_GET, "/iaas/", true)).c_str(),
            std::string("https://[::1]:1/iaas/"));
}

}  // namespace
