// The metrics' labels and values, without a server.
#include "tools/agent/serve/service_metrics.h"

#include <string>

#include <gtest/gtest.h>

#include "testing/json_text.h"

namespace {

bool shows(const std::string& text, const std::string& line) {
  return text.find(line + "\n") != std::string::npos;
}

TEST(Service_Metrics, NamesEachOutcome) {
  Service_Metrics metrics([] { return std::size_t{3}; });
  const struct {
    const char* answer;
    const char* outcome;
  } answers[] = {
      {R"({"jsonrpc":"2.0","id":1,"result":{}})", "ok"},
      {"null", "notification"},
      {R"({"jsonrpc":"2.0","id":1,"error":{"code":-32700,"message":"m"}})", "parse_error"},
      {R"({"jsonrpc":"2.0","id":1,"error":{"code":-32600,"message":"m"}})", "invalid_request"},
      {R"({"jsonrpc":"2.0","id":1,"error":{"code":-32601,"message":"m"}})", "method_not_found"},
      {R"({"jsonrpc":"2.0","id":1,"error":{"code":-32602,"message":"m"}})", "invalid_params"},
      {R"({"jsonrpc":"2.0","id":1,"error":{"code":-32603,"message":"m"}})", "internal_error"},
      {R"({"jsonrpc":"2.0","id":1,"error":{"code":-32000,"message":"m"}})", "error"},
  };
  for (const auto& a : answers)
    metrics.request_finished("m", testing_support::json_value(a.answer), {});
  const struct {
    int status;
    const char* outcome;
  } exchanges[] = {{200, "2xx"}, {302, "3xx"}, {404, "4xx"}, {503, "5xx"}, {0, "network_error"}};
  for (const auto& e : exchanges)
    metrics.platform_exchange({e.status, std::chrono::milliseconds(30)});

  const std::string text = metrics.text();
  for (const auto& a : answers)
    EXPECT_TRUE(
        shows(text, std::string("qingcloud_agent_rpc_requests_total{method=\"m\",outcome=\"") +
                        a.outcome + "\"} 1"))
        << a.outcome << "\n"
        << text;
  for (const auto& e : exchanges)
    EXPECT_TRUE(shows(text, std::string("qingcloud_agent_platform_requests_total{outcome=\"") +
                                e.outcome + "\"} 1"))
        << e.outcome;
  EXPECT_TRUE(
      shows(text, "qingcloud_agent_platform_request_duration_seconds_bucket{le=\"0.05\"} 5"));
  EXPECT_TRUE(
      shows(text, "qingcloud_agent_platform_request_duration_seconds_bucket{le=\"0.025\"} 0"));
  EXPECT_TRUE(shows(text, "qingcloud_agent_environments 3"));
  EXPECT_EQ(text.find("process_resident_memory_bytes 0\n"), std::string::npos);
  EXPECT_NE(text.find("process_resident_memory_bytes "), std::string::npos);
}

TEST(Service_Metrics, CountsListingsInFlight) {
  Service_Metrics metrics([] { return std::size_t{0}; });
  metrics.request_started("qingcloud.list");
  metrics.request_started("qingcloud.list");
  metrics.request_started("qingcloud.login");
  EXPECT_TRUE(shows(metrics.text(), "qingcloud_agent_listings_in_flight 2"));
  metrics.request_finished("qingcloud.list", json_spirit::Value(), {});
  EXPECT_TRUE(shows(metrics.text(), "qingcloud_agent_listings_in_flight 1"));
}

}  // namespace
