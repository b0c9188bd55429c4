#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <sys/types.h>
#include <vector>

#include <boost/json/value.hpp>
#include <httplib.h>

// The parts of the soak benchmark (serve_soak_bench.cpp): serve in a process
// of its own, the console's requests with the answers they got before the
// load, a client that sends and judges them, the simulator's faults, and
// the tally of what came back.
namespace bench {

using Clock = std::chrono::steady_clock;

// The kinds of request whose latency is told apart.
enum class Kind {
  TOP,        // the top of a view: its zones
  HOSTS,      // the physical hosts of a zone
  INSTANCES,  // the instances of a host
  DISKS,      // the disks of an instance
  ZONE_VMS,   // the instances of a zone (vms view)
  USERS,      // the users (recovery view)
  NETWORKS,   // the networks of a user in a zone
  SEARCH,
  LOGIN,  // host.environments.test
  BATCH,  // two to four of the others in one message
};
constexpr int KINDS = 10;
const char* kind_name(Kind kind);

// `qingcloud-agent serve` on a free loopback port with a home of its own in
// a temporary folder; stopped (SIGTERM) when this goes away.
class Serve_Process {
 public:
  Serve_Process() = default;
  ~Serve_Process();
  Serve_Process(const Serve_Process&) = delete;
  Serve_Process& operator=(const Serve_Process&) = delete;

  // Starts it and reads the address it prints.  False with the problem in
  // `error`.
  bool start(int threads, std::string& error);
  int port() const { return port_; }
  const std::string& token() const { return token_; }
  // Its resident memory now (/proc/PID/status), 0 when it cannot be read.
  std::size_t resident_bytes() const;
  bool alive();
  // SIGTERM, then its exit code (-1 when it did not exit by itself).
  int stop();

 private:
  std::string dir_;
  pid_t pid_ = -1;
  int exit_code_ = -1;
  int port_ = 0;
  std::string token_;
};

// The simulator's fault control (/_sim/faults).
class Sim_Control {
 public:
  explicit Sim_Control(int port) : port_(port) {}
  void arm(const std::string& fault_json) const;
  bool armed() const;  // some fault not used up yet
  void clear() const;

 private:
  int port_;
};

// One request the console sends and the result it got before the load.
struct Known_Request {
  std::string method;
  boost::json::value params;
  boost::json::value result;
};

class Soak_Client;

// The requests of every kind, found by walking the views as the console
// does, with their answers.
class Catalogue {
 public:
  // Adds the simulator at `sim_port` as an environment and walks it.
  bool build(Soak_Client& client, int sim_port, std::string& error);
  const std::vector<Known_Request>& of(Kind kind) const { return by_kind_[static_cast<int>(kind)]; }
  std::size_t size() const;

 private:
  bool add(Soak_Client& client, Kind kind, const std::string& method, boost::json::value params,
           std::string& error, boost::json::value* result = nullptr);

  std::vector<Known_Request> by_kind_[KINDS];
  std::string uuid_;
};

// What one message got back.
struct Sample {
  Kind kind = Kind::TOP;
  float ms = 0;
  Clock::time_point start, end;
  std::uint16_t right = 0;            // results equal to the known ones
  std::uint16_t wrong = 0;            // other results
  std::uint16_t internal_errors = 0;  // -32603, or a login test that failed
  std::uint16_t other_errors = 0;     // JSON-RPC errors of other codes
  std::uint16_t failed = 0;           // no HTTP answer, or not 200
};

// A keep-alive connection to serve with its token.
class Soak_Client {
 public:
  explicit Soak_Client(const Serve_Process& serve);
  // One JSON-RPC message: the answer, null (with the reason in `error`) when
  // none came.
  boost::json::value call(const std::string& body, std::string& error);
  // A request of `kind` picked at random, sent and judged.
  Sample send(const Catalogue& catalogue, Kind kind, std::mt19937& random);

 private:
  httplib::Client http_;
  httplib::Headers token_;
};

// When a fault was armed: from arming until it was used up and cleared.
struct Window {
  Clock::time_point start, end;
};

struct Tally {
  std::size_t messages = 0;
  std::vector<double> ms[KINDS];
  long internal_in_fault = 0;     // -32603 in messages that overlapped a window
  long errors_without_fault = 0;  // errors of any code in messages that did not
  long other_errors = 0;
  long wrong = 0;
  long failed = 0;
};
Tally tally(const std::vector<std::vector<Sample>>& samples, const std::vector<Window>& windows);

// The figures of the load (requests per second, latency per kind, errors),
// printed and kept for the summary.
void report(Tally& tally, double seconds, std::size_t faults);

}  // namespace bench
