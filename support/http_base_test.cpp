#include "support/http_base.h"

#include <gtest/gtest.h>

#include "support/http_response.h"

namespace {

TEST(HTTP_Base, ContentLengthReadsAnUnsignedDecimal) {
  struct Case {
    const char* value;  // null: no header
    std::size_t expected;
  } cases[] = {
      {nullptr, 0}, {"0", 0},     {"1234", 1234}, {" 42 ", 42},
      {"", 0},      {"12abc", 0}, {"-1", 0},      {"99999999999999999999999", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value ? c.value : "(absent)");
    HTTP_Response r;
    if (c.value) r.headers().set("Content-Length", c.value);
    EXPECT_EQ(r.content_length(), c.expected);
  }
}

TEST(HTTP_Base, WritersStoreTheHeaderFields) {
  HTTP_Response r;
  r.content_length(18446744073709551615ul);
  r.content_type("application/json");
  r.keep_alive(true);
  r.chunked_transfer_encoding(true);
  EXPECT_EQ(*r.headers().find("content-length"), "18446744073709551615");
  EXPECT_EQ(r.content_length(), 18446744073709551615ul);
  EXPECT_STREQ(r.content_type(), "application/json");
  EXPECT_EQ(*r.headers().find("Connection"), "Keep-Alive");
  EXPECT_EQ(*r.headers().find("Transfer-Encoding"), "chunked");
  EXPECT_TRUE(r.chunked_transfer_encoding());

  r.keep_alive(false);
  r.chunked_transfer_encoding(false);
  r.content_type(nullptr);
  EXPECT_EQ(*r.headers().find("Connection"), "close");
  EXPECT_EQ(r.headers().find("Transfer-Encoding"), nullptr);
  EXPECT_EQ(r.content_type(), nullptr);
  EXPECT_EQ(r.headers().fields().size(), 2u) << "a written field replaces the earlier one";
}

TEST(HTTP_Base, KeepAliveFollowsConnectionThenVersion) {
  struct Case {
    const char* connection;  // null: no header
    int minor_version;
    bool expected;
  } cases[] = {
      {nullptr, 1, true},           {nullptr, 0, false},
      {"close", 1, false},          {"Close", 1, false},
      {"Keep-Alive", 0, true},      {"keep-alive", 0, true},
      {"Upgrade, close", 1, false}, {"keep-alive , close", 1, false},  // "close" wins
      {"Upgrade", 0, false},        {"Upgrade", 1, true},
      {"closed", 1, true},  // a token, not a substring
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.connection ? c.connection : "(absent)") + " HTTP/1." +
                 std::to_string(c.minor_version));
    HTTP_Response r;
    r.minor_version(c.minor_version);
    if (c.connection) r.headers().set("Connection", c.connection);
    EXPECT_EQ(r.keep_alive(), c.expected);
  }
  EXPECT_EQ(HTTP_Response().minor_version(), 1) << "a response starts as HTTP/1.1";
}

TEST(HTTP_Base, ChunkedIsAnExactMatch) {
  struct Case {
    const char* value;
    bool expected;
  } cases[] = {{"chunked", true}, {"Chunked", false}, {"gzip, chunked", false}, {"", false}};
  for (const auto& c : cases) {
    HTTP_Response r;
    r.headers().set("Transfer-Encoding", c.value);
    EXPECT_EQ(r.chunked_transfer_encoding(), c.expected) << c.value;
  }
  EXPECT_FALSE(HTTP_Response().chunked_transfer_encoding());
}

}  // namespace
