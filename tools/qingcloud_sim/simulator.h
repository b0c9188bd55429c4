#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "tools/qingcloud_sim/faults.h"
#include "tools/qingcloud_sim/inventory.h"
#include "tools/qingcloud_sim/platform.h"
#include "tools/qingcloud_sim/sim_clock.h"
#include "tools/qingcloud_sim/stats.h"

typedef struct x509_st X509;
typedef struct evp_pkey_st EVP_PKEY;

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace qingcloud_sim {

struct Decoded_Request;

struct Options {
  std::string host = "127.0.0.1";  // loopback unless told otherwise
  int port = 0;                    // 0: a free port, see `Simulator::port`
  std::string tls_cert_file;       // both given: HTTPS
  std::string tls_key_file;
  X509* tls_cert = nullptr;     // or both given in memory (not owned; the
  EVP_PKEY* tls_key = nullptr;  // server takes its own references)
  int job_seconds = 2;          // how long a job runs
  int lease_seconds = 2;        // how long a new resource's lease takes to become active
  int max_clock_skew = 60;      // seconds a "time_stamp" may be away from the wall clock
  bool log_requests = false;    // one line per API request on stderr
  // Keep-alive: requests one connection may carry, and idle seconds before
  // the server closes it.
  std::size_t keep_alive_max_requests = 100000;
  int keep_alive_timeout_seconds = 30;
};

// The QingCloud API simulator: serves the platform's API over HTTP(S) on
// `host:port` from its own threads.
//
//   GET  /iaas/           the infrastructure API, parameters in the query
//   POST /boss2/          the back-office API, form body of "access_key_id",
//                         "action", "params" (JSON), "time_stamp", "signature"
//   GET  /_sim/stats      requests per action, connections, last requests
//   DELETE /_sim/stats    resets the stats
//   GET|POST|DELETE /_sim/faults   lists, arms (a fault object or an array of
//                         them, see Fault::from_json) or clears faults
//   POST /_sim/clock      {"advance": seconds} | {"freeze": "<time>"} |
//                         {"unfreeze": true} | {"reset": true}
//   POST /_sim/reset      the loaded inventory again, no faults, fresh stats
//   GET  /_sim/inventory  the current state in the inventory file form
//
// Thread safe.  Stops (and joins its threads) at destruction.
class Simulator {
 public:
  using Inventory_Source = std::function<Inventory()>;

  // `source` is called now and on every reset.
  Simulator(Inventory_Source source, Options options);
  ~Simulator();
  Simulator(const Simulator&) = delete;
  Simulator& operator=(const Simulator&) = delete;

  // Binds and starts serving.  Throws std::runtime_error when it cannot
  // (address in use, unreadable certificate or key).
  void start();
  void stop();

  const std::string& host() const { return options_.host; }
  // The bound port (the chosen one when started with port 0).
  int port() const { return port_; }
  bool tls() const { return !options_.tls_cert_file.empty() || options_.tls_cert != nullptr; }

  Sim_Clock& clock() { return clock_; }
  Platform& platform() { return platform_; }

  void inject(Fault fault) { faults_.add(std::move(fault)); }
  void clear_faults() { faults_.clear(); }
  std::vector<Fault> faults() const { return faults_.armed(); }

  Stats stats() const { return stats_.snapshot(); }
  void reset_stats() { stats_.reset(); }

  // Back to the start: the inventory from the source, no faults, fresh stats,
  // the system clock, the configured timings.
  void reset();

  void set_max_clock_skew(int seconds);
  void set_job_seconds(int seconds) { platform_.set_job_seconds(seconds); }
  void set_lease_seconds(int seconds) { platform_.set_lease_seconds(seconds); }

 private:
  struct Answer {
    int status = 200;
    std::string body;
    std::string content_type = "application/json";
    int ret_code = -1;
    bool drop = false;
  };

  void route(httplib::Server& server);
  void serve_api(const httplib::Request& req, httplib::Response& res, std::string_view raw);
  Answer answer_api(const Decoded_Request& request, const Chosen_Faults& chosen);
  // Waits, cut short by a stop or a reset.
  void wait_unless_stopping(int milliseconds);
  void log_request(const Recorded_Request& request, long long micros) const;

  void serve_faults(const httplib::Request& req, httplib::Response& res, const std::string& body);
  void serve_clock(httplib::Response& res, const std::string& body);

  Inventory_Source source_;
  Options options_;
  Sim_Clock clock_;
  Platform platform_;
  Fault_Table faults_;
  Stats_Recorder stats_;
  std::atomic<int> max_clock_skew_;

  std::unique_ptr<httplib::Server> server_;
  std::thread listener_;
  int port_ = 0;
  std::mutex stop_mutex_;
  std::condition_variable stop_cv_;
  bool stopping_ = false;
  std::uint64_t resets_ = 0;  // wakes delayed requests of an earlier test
};

}  // namespace qingcloud_sim
