#include "tools/agent/health_routes.h"

#include <httplib.h>

#include "tools/agent/service_metrics.h"

bool needs_no_token(const std::string& method, const std::string& path) {
  return (method == "GET" || method == "HEAD") && path == HEALTH_PATH;
}

void add_health_route(httplib::Server& server) {
  server.Get(HEALTH_PATH, [](const httplib::Request&, httplib::Response& res) {
    res.set_header("Cache-Control", "no-store");
    res.set_content("ok\n", "text/plain; charset=utf-8");
  });
}

void add_metrics_route(httplib::Server& server, Service_Metrics& metrics) {
  server.Get(METRICS_PATH, [&metrics](const httplib::Request&, httplib::Response& res) {
    res.set_header("Cache-Control", "no-store");
    res.set_content(metrics.text(), Service_Metrics::CONTENT_TYPE);
  });
}
