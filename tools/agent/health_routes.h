#pragma once

#include <string>

namespace httplib {
class Server;
}  // namespace httplib

class Service_Metrics;

// Routes for an administrator's monitoring, served beside the console:
//   GET /healthz  "ok" while the service answers requests; it needs no
//                 token and tells nothing else
//   GET /metrics  the metrics in the Prometheus text format (token needed)
constexpr const char* HEALTH_PATH = "/healthz";
constexpr const char* METRICS_PATH = "/metrics";

// Whether a request may come without the access token.
bool needs_no_token(const std::string& method, const std::string& path);

void add_health_route(httplib::Server& server);
// `metrics` must outlive the server.
void add_metrics_route(httplib::Server& server, Service_Metrics& metrics);
