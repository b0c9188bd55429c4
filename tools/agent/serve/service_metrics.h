#pragma once

#include <cstddef>
#include <functional>
#include <prometheus/counter.h>
#include <prometheus/family.h>
#include <prometheus/gauge.h>
#include <prometheus/histogram.h>
#include <prometheus/registry.h>
#include <string>

#include "host/http/http_exchange_observer.h"
#include "tools/agent/request_observer.h"

// What `serve` tells its monitoring, in the Prometheus text format:
//   qingcloud_agent_rpc_requests_total{method,outcome}       JSON-RPC requests
//   qingcloud_agent_rpc_request_duration_seconds{method}     their duration
//   qingcloud_agent_listings_in_flight                       "qingcloud.list" being answered
//   qingcloud_agent_platform_requests_total{outcome}         platform API exchanges
//   qingcloud_agent_platform_request_duration_seconds        their duration
//   qingcloud_agent_environments                             environments kept
//   qingcloud_agent_handler_threads{state}                   handler threads, "busy" or "idle"
//   qingcloud_agent_handler_queue_length                     platform requests waiting for one
//   qingcloud_agent_http_connections                         connections open
//   process_resident_memory_bytes                            the process's resident memory
// A method the host does not serve is counted as "unknown"; an outcome is
// "ok", the name of the JSON-RPC error ("invalid_params", "internal_error",
// ...) or "notification"; a platform exchange's outcome is its status class
// ("2xx" ... "5xx") or "network_error".  Thread-safe.
class Service_Metrics : public Request_Observer {
 public:
  // Counted afresh at each scrape.
  using Count_Source = std::function<std::size_t()>;

  explicit Service_Metrics(Count_Source environments);

  // The service's load, read at each scrape.
  struct Service_Load {
    std::size_t threads = 0;
    std::size_t busy = 0;
    std::size_t queued = 0;
    std::size_t connections = 0;
  };
  void observe_service(std::function<Service_Load()> source) { load_source_ = std::move(source); }

  void request_started(const std::string& method) override;
  void request_finished(const std::string& method, const json_spirit::Value& answer,
                        std::chrono::steady_clock::duration took) override;
  void platform_exchange(const HTTP_Exchange_Outcome& outcome);

  // Every metric, as the text format has them.
  std::string text();
  static constexpr const char* CONTENT_TYPE = "text/plain; version=0.0.4; charset=utf-8";

 private:
  Count_Source environments_source_;
  std::function<Service_Load()> load_source_;
  prometheus::Registry registry_;
  prometheus::Family<prometheus::Counter>& rpc_requests_;
  prometheus::Family<prometheus::Histogram>& rpc_durations_;
  prometheus::Gauge& listings_in_flight_;
  prometheus::Family<prometheus::Counter>& platform_requests_;
  prometheus::Histogram& platform_duration_;
  prometheus::Gauge& environments_;
  prometheus::Gauge& resident_memory_;
  prometheus::Family<prometheus::Gauge>& handler_threads_;
  prometheus::Gauge& queue_length_;
  prometheus::Gauge& connections_;
};
