#include "tools/agent/serve/service_metrics.h"

#include <cerrno>
#include <cstdio>
#include <prometheus/text_serializer.h>
#include <unistd.h>

#include "host/agent/json_rpc_object.h"
#include "host/support/log.h"
#include "tools/agent/agent_host.h"

namespace {

using Seconds = std::chrono::duration<double>;

// From a quick answer of the host's own to a listing of a large zone, and a
// platform request that waits for its time-out.
const prometheus::Histogram::BucketBoundaries DURATION_BUCKETS = {
    0.005, 0.01, 0.025, 0.05, 0.1, 0.25, 0.5, 1, 2.5, 5, 10, 30, 60, 120};

std::string method_label(const std::string& method) {
  return method.empty() ? "unknown" : method;
}

std::string outcome_label(const json_spirit::Value& answer) {
  if (answer.is_null()) return "notification";
  if (answer.type() != json_spirit::obj_type) return "ok";  // a batch is counted by its entries
  const json_spirit::Object& o = answer.get_obj();
  const auto error = o.find("error");
  if (error == o.end()) return "ok";
  int code = 0;
  if (error->second.type() == json_spirit::obj_type) {
    const json_spirit::Object& e = error->second.get_obj();
    const auto number = e.find("code");
    if (number != e.end() && number->second.type() == json_spirit::int_type)
      code = number->second.get_int();
  }
  switch (code) {
    case JSON_RPC_PARSE_ERROR:
      return "parse_error";
    case JSON_RPC_INVALID_REQUEST:
      return "invalid_request";
    case JSON_RPC_METHOD_NOT_FOUND:
      return "method_not_found";
    case JSON_RPC_INVALID_PARAMS:
      return "invalid_params";
    case JSON_RPC_INTERNAL_ERROR:
      return "internal_error";
    default:
      return "error";
  }
}

std::string status_class(int status) {
  if (status < 100 || status > 599) return "network_error";
  return std::to_string(status / 100) + "xx";
}

// The resident set from /proc/self/statm (its second field, in pages).
bool resident_bytes(double& bytes) {
  std::FILE* statm = std::fopen("/proc/self/statm", "re");
  if (!statm) {
    QC_LOG_ERROR("Cannot read /proc/self/statm, errno=%d, %m.\n", errno);
    return false;
  }
  unsigned long size = 0, resident = 0;
  const bool read = std::fscanf(statm, "%lu %lu", &size, &resident) == 2;
  std::fclose(statm);
  if (!read) {
    QC_LOG_ERROR("Cannot parse /proc/self/statm.\n");
    return false;
  }
  bytes = static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE));
  return true;
}

}  // namespace

Service_Metrics::Service_Metrics(Count_Source environments)
    : environments_source_(std::move(environments)),
      rpc_requests_(prometheus::BuildCounter()
                        .Name("qingcloud_agent_rpc_requests_total")
                        .Help("JSON-RPC requests answered, by method and outcome.")
                        .Register(registry_)),
      rpc_durations_(prometheus::BuildHistogram()
                         .Name("qingcloud_agent_rpc_request_duration_seconds")
                         .Help("Time taken to answer a JSON-RPC request, by method.")
                         .Register(registry_)),
      listings_in_flight_(prometheus::BuildGauge()
                              .Name("qingcloud_agent_listings_in_flight")
                              .Help("Inventory listings (qingcloud.list) being answered.")
                              .Register(registry_)
                              .Add({})),
      platform_requests_(
          prometheus::BuildCounter()
              .Name("qingcloud_agent_platform_requests_total")
              .Help("Requests sent to the platform's API, by HTTP status class or network_error.")
              .Register(registry_)),
      platform_duration_(prometheus::BuildHistogram()
                             .Name("qingcloud_agent_platform_request_duration_seconds")
                             .Help("Time taken by a request to the platform's API.")
                             .Register(registry_)
                             .Add({}, DURATION_BUCKETS)),
      environments_(prometheus::BuildGauge()
                        .Name("qingcloud_agent_environments")
                        .Help("Environments kept in the home folder.")
                        .Register(registry_)
                        .Add({})),
      resident_memory_(prometheus::BuildGauge()
                           .Name("process_resident_memory_bytes")
                           .Help("Resident memory size in bytes.")
                           .Register(registry_)
                           .Add({})),
      handler_threads_(prometheus::BuildGauge()
                           .Name("qingcloud_agent_handler_threads")
                           .Help("Threads that answer requests reaching the platform, by state.")
                           .Register(registry_)),
      queue_length_(prometheus::BuildGauge()
                        .Name("qingcloud_agent_handler_queue_length")
                        .Help("Requests reaching the platform that wait for a handler thread.")
                        .Register(registry_)
                        .Add({})),
      connections_(prometheus::BuildGauge()
                       .Name("qingcloud_agent_http_connections")
                       .Help("HTTP connections open.")
                       .Register(registry_)
                       .Add({})) {}

void Service_Metrics::request_started(const std::string& method) {
  if (method == Agent_Host::LIST_METHOD) listings_in_flight_.Increment();
}

void Service_Metrics::request_finished(const std::string& method, const json_spirit::Value& answer,
                                       std::chrono::steady_clock::duration took) {
  if (method == Agent_Host::LIST_METHOD) listings_in_flight_.Decrement();
  const std::string name = method_label(method);
  rpc_requests_.Add({{"method", name}, {"outcome", outcome_label(answer)}}).Increment();
  rpc_durations_.Add({{"method", name}}, DURATION_BUCKETS)
      .Observe(std::chrono::duration_cast<Seconds>(took).count());
}

void Service_Metrics::platform_exchange(const HTTP_Exchange_Outcome& outcome) {
  platform_requests_.Add({{"outcome", status_class(outcome.status)}}).Increment();
  platform_duration_.Observe(std::chrono::duration_cast<Seconds>(outcome.duration).count());
}

std::string Service_Metrics::text() {
  environments_.Set(static_cast<double>(environments_source_()));
  double bytes = 0;
  if (resident_bytes(bytes)) resident_memory_.Set(bytes);
  if (load_source_) {
    const Service_Load l = load_source_();
    handler_threads_.Add({{"state", "busy"}}).Set(static_cast<double>(l.busy));
    handler_threads_.Add({{"state", "idle"}}).Set(static_cast<double>(l.threads - l.busy));
    queue_length_.Set(static_cast<double>(l.queued));
    connections_.Set(static_cast<double>(l.connections));
  }
  return prometheus::TextSerializer().Serialize(registry_.Collect());
}
