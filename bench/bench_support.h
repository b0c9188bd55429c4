#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <netinet/in.h>
#include <string>
#include <sys/types.h>
#include <vector>

#include <curl/curl.h>

namespace bench {

// A simulator serving a generated platform from a process of its own, so
// that what is measured here is the client alone.  Stopped (SIGTERM) when
// this goes away (testing_support::stop_child).
class Sim_Process {
 public:
  // `sizes` as for --generate: "instances=10000,zones=1"; `options` more of
  // its options ("--tls-cert", F, ...).
  explicit Sim_Process(const std::string& sizes, const std::vector<std::string>& options = {});
  ~Sim_Process();
  Sim_Process(const Sim_Process&) = delete;
  Sim_Process& operator=(const Sim_Process&) = delete;

  // Waits until it listens; false (with the reason on stderr) when it does
  // not within a minute.
  bool wait_ready();
  int port() const { return port_; }
  const std::string& sizes() const { return sizes_; }

  // API requests served since the last reset (GET /_sim/stats), -1 when the
  // stats cannot be read; DELETE /_sim/stats.
  long long requests() const;
  void reset_stats() const;

 private:
  std::string sizes_;
  std::string dir_;
  std::string port_file_;
  pid_t pid_ = -1;
  int port_ = 0;
};

// The back-office requests of a listing signed and sent with plain libcurl
// over one connection, the bodies only kept: the floor under any client.
class Page_Fetcher {
 public:
  explicit Page_Fetcher(int port);
  ~Page_Fetcher();
  Page_Fetcher(const Page_Fetcher&) = delete;
  Page_Fetcher& operator=(const Page_Fetcher&) = delete;

  // How many records the inventory's vms view of `zone` lists (its running
  // and stopped instances of users), -1 on failure.
  long long listed(const std::string& zone);
  // What the handler sends for that listing: the login (one page of
  // "DescribeZones", as the client asks it), then the pages of those
  // `total` records, each body handed to `body` (when given).
  bool login_and_list(const std::string& zone, long long total,
                      const std::function<void(const std::string&)>& body);
  // The zones the platform reports, in order.
  std::vector<std::string> zones();
  std::size_t bytes() const { return bytes_; }

 private:
  bool post(const std::string& action, const std::string& params_json);
  static std::string instances_page(const std::string& zone, long long offset);

  CURL* curl_;
  std::string url_;
  std::string reply_;
  std::size_t bytes_ = 0;
};

// Memory of this process in bytes: resident now (/proc/self/statm), and the
// high-water mark of the resident size (getrusage).
std::size_t resident_bytes();
std::size_t peak_resident_bytes();
// Page faults this process has taken so far (getrusage: minor and major).
long long page_faults();

// What one run of a program cost, as wait4 tells it.
struct Program_Cost {
  bool ok = false;  // it exited 0 within the limit
  double wall_ms = 0;
  double cpu_ms = 0;  // user and system
  long max_rss_kib = 0;
};
// Runs `args` (the program first) with `env` ("NAME=value") added to this
// process's environment and its standard output on /dev/null, for at most
// a minute.
Program_Cost run_and_measure(const std::vector<std::string>& args,
                             const std::vector<std::string>& env);

// 127.0.0.1 at `port` (0: any free port, for bind).
sockaddr_in loopback(int port);

// The median of `samples` (which it sorts).
double median(std::vector<double>& samples);

double milliseconds_since(std::chrono::steady_clock::time_point start);

// One figure for the summary that `make bench` prints: appended as a JSON
// line to the file named by $QC_BENCH_FIGURES (when set), and printed.
// `target` says what it should be ("<= 3", "== 1001"), empty for none;
// `met` is whether it is.
void figure(const std::string& name, double value, const std::string& unit,
            const std::string& target = "", bool met = true);

}  // namespace bench
