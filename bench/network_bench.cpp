// The console's requests over a slow link, counted in round trips: a delay
// proxy (bench/delay_proxy.h) holds back each direction by 25 ms (a 50 ms
// round trip) between the host and a simulator in a process of its own.
// Each request is a fresh JSON-RPC "qingcloud.list" request to the list
// handler of the dlopened plug-in through the host framework's dispatch, as
// the console sends it.
//
//   1. The zones (login only), the hosts of a zone (login + 1 page) and the
//      vms of a zone of 10,000 instances (login + 100 pages), over plain HTTP
//      and over TLS; cold (the first request of a process, run in a process
//      of its own: new connections, full handshakes) and warm (after one
//      request): the median latency in round trips, and the connections the
//      proxy saw per request.
//   2. qingcloud-agent tree --jobs 1 and --jobs 8 of 2,000 instances in two
//      zones over the same link: the time of each and their ratio.
//   3. qingcloud-agent client run-instance --no-wait as a user, over plain
//      HTTP and over TLS: the round trips of the whole command and the
//      connections it opened (RunInstances, which must never be sent twice,
//      goes on a connection of its own).
//
// Every figure is printed and, with $QC_BENCH_FIGURES set, kept for the
// summary of `make bench`.  QC_BENCH_PARTS picks the parts
// ("clicks,tree,run", the default); QC_BENCH_DELAY_MS sets the delay of each direction (25);
// QC_BENCH_TREE_DEPTH the depth of the walk ("all", the default: down to
// every instance's disks, once, which takes minutes on one job; 2: the
// zones, their hosts and the hosts' instances, three times each, too few
// requests for eight jobs to show).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include <openssl/pem.h>

#include "bench/bench_support.h"
#include "bench/delay_proxy.h"
#include "host/http/http_tls_context.h"
#include "host/json_spirit/object_get.h"
#include "host/json_spirit/writer.h"
#include "testing/program_run.h"
#include "testing/test_certificate.h"
#include "tools/agent/agent_home.h"
#include "tools/agent/agent_host.h"
#include "tools/agent/log_lines.h"
#include "tools/qingcloud_sim/demo_inventory.h"

namespace {

using json_spirit::Object;
using json_spirit::Value;
using Clock = std::chrono::steady_clock;

// One click of the console: a list request of a view, of a node.
struct Click {
  const char* name;
  const char* view;
  const char* type;  // empty for the top, else the zone is the node
  int cold_runs;
  int warm_runs;
};

const Click CLICKS[] = {
    {"zones", "hosts", "", 5, 7},
    {"hosts of a zone", "hosts", "Zone", 5, 7},
    {"vms of a 10k zone", "vms", "Zone", 1, 3},
};

// One list request; its time in milliseconds, or -1 (with the answer on
// stderr) when it failed.
double timed_list(Agent_Host& host, const std::string& uuid, const Click& click,
                  const std::string& zone) {
  const bool of_zone = *click.type != '\0';
  const Object params{{"uuid", uuid},       {"subtype", "inventory"},      {"view", click.view},
                      {"type", click.type}, {"moid", of_zone ? zone : ""}, {"zone", ""}};
  const Clock::time_point start = Clock::now();
  const Value answer = host.request(Agent_Host::LIST_METHOD, params);
  const double ms = bench::milliseconds_since(start);
  if (answer.type() != json_spirit::obj_type || !answer.get_obj().count("result")) {
    std::fprintf(stderr, "bench_network: %s failed: %s\n", click.name,
                 json_spirit::JSON_Dump(answer, false).c_str());
    return -1;
  }
  return ms;
}

// The host of this process: the plug-in's handlers and a home of its own.
struct Host {
  testing_support::Temp_Dir dir;
  Agent_Home home;
  Agent_Host host;

  bool start(std::string& error) {
    return home.open(dir.path() + "/home", error) && host.start(home, QINGCLOUD_PLUGIN_PATH, error);
  }
};

// A platform behind a delay proxy of its own, kept by the host under `uuid`.
struct Platform {
  const char* scheme;
  bench::Sim_Process sim;
  std::chrono::microseconds delay;
  bool tls;
  std::unique_ptr<bench::Delay_Proxy> proxy;
  std::string uuid;
  std::string zone;

  Platform(const char* scheme_name, const std::string& sizes, std::chrono::microseconds link_delay,
           const std::vector<std::string>& tls_options = {})
      : scheme(scheme_name),
        sim(sizes, tls_options),
        delay(link_delay),
        tls(!tls_options.empty()) {}

  bool start(Host& host, std::string& error) {
    if (!sim.wait_ready()) {
      error = "no simulator for " + sim.sizes();
      return false;
    }
    proxy = std::make_unique<bench::Delay_Proxy>(sim.port(), delay);
    if (!proxy->start(error)) return false;
    std::string cipher;
    if (!host.home.encrypt(secure_string(qingcloud_sim::DEMO_BOSS_SECRET), cipher, error))
      return false;
    uuid = new_uuid();
    Object settings{{"version", "5.1.1"},
                    {"boss_host", "127.0.0.1"},
                    {"api_host", "127.0.0.1"},
                    {"port", proxy->port()},
                    {"ssl", tls},
                    {"access_key", qingcloud_sim::DEMO_BOSS_KEY_ID},
                    {"secret_access_key", cipher},
                    {"only_boss", true}};
    if (!host.home.put(uuid, std::move(settings), error)) return false;
    // The zone to list, through the plug-in itself (not timed).
    const Value answer = host.host.request(
        Agent_Host::LIST_METHOD,
        Object{{"uuid", uuid}, {"subtype", "inventory"}, {"view", "hosts"}, {"type", ""}});
    const Value* zones = answer.type() == json_spirit::obj_type
                             ? json_spirit::object_get_value(answer.get_obj(), "result")
                             : nullptr;
    if (zones == nullptr || zones->type() != json_spirit::array_type ||
        zones->get_array().empty()) {
      error = "cannot list the zones of " + sim.sizes();
      return false;
    }
    zone = zones->get_array().front().get_obj().at("moid").get_str();
    return true;
  }

  double round_trip_ms() const { return 2 * delay.count() / 1000.0; }
};

// A key for the simulator's TLS certificate, in a file of its own.
class Key_File {
 public:
  explicit Key_File(EVP_PKEY* key) {
    char pattern[] = "/tmp/qc-bench-key-XXXXXX";
    const int fd = mkstemp(pattern);
    if (fd < 0) return;
    FILE* out = fdopen(fd, "w");
    if (out == nullptr) {
      close(fd);
      return;
    }
    if (PEM_write_PrivateKey(out, key, nullptr, nullptr, 0, nullptr, nullptr) == 1) path_ = pattern;
    std::fclose(out);
    if (path_.empty()) std::remove(pattern);
  }
  ~Key_File() {
    if (!path_.empty()) std::remove(path_.c_str());
  }
  Key_File(const Key_File&) = delete;
  Key_File& operator=(const Key_File&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// The first request of a process: this program run again as
// `bench_network --one HOME UUID VIEW TYPE ZONE CA_FILE`, which prints the
// request's time in milliseconds.
int one_request(char** argv) {
  const std::string home_dir = argv[2], uuid = argv[3], ca_file = argv[7];
  const Click click{"cold", argv[4], argv[5], 0, 0};
  Log_Lines quiet;
  Agent_Home home;
  Agent_Host host;
  std::string error;
  if (!home.open(home_dir, error) || !host.start(home, QINGCLOUD_PLUGIN_PATH, error)) {
    std::fprintf(stderr, "bench_network --one: %s\n", error.c_str());
    return 1;
  }
  if (!ca_file.empty()) HTTP_TLS_Context::set_default_ca_file(ca_file);
  const double ms = timed_list(host, uuid, click, argv[6]);
  if (ms < 0) return 1;
  std::printf("%.3f\n", ms);
  return 0;
}

struct Sample {
  std::vector<double> round_trips;
  std::vector<double> connections;
};

void report(const Platform& p, const Click& click, const char* when, Sample& s) {
  const std::string name = std::string(p.scheme) + " " + click.name + ", " + when + ": ";
  const double round_trips = bench::median(s.round_trips);
  double connections = 0;
  for (double c : s.connections)
    connections += c;
  connections /= std::max<std::size_t>(1, s.connections.size());
  const bool warm = std::string(when) == "warm";
  // Over TLS, a warm click costs its API requests and nothing more.
  const double limit = !warm || !p.tls                                ? 0
                       : std::string(click.name) == "zones"           ? 1.3
                       : std::string(click.name) == "hosts of a zone" ? 2.3
                                                                      : 0;
  char target[16] = "";
  if (limit > 0) std::snprintf(target, sizeof target, "<= %.1f", limit);
  bench::figure(name + "latency", round_trips, "rt", target, round_trips <= limit);
  bench::figure(name + "new connections", connections, "", warm ? "== 0" : "", connections == 0);
}

// 1. For one platform: every click cold, then warm.
bool clicks(Host& host, Platform& p, const std::string& self, const std::string& home_dir,
            const std::string& ca_file) {
  std::printf("\n%s through the %.0f ms round-trip link:\n", p.scheme, p.round_trip_ms());
  for (const Click& click : CLICKS) {
    Sample cold;
    for (int i = 0; i < click.cold_runs; ++i) {
      const long long before = p.proxy->connections();
      const testing_support::Program_Result run = testing_support::run_program(
          {self, "--one", home_dir, p.uuid, click.view, click.type, p.zone, ca_file});
      if (run.exit_code != 0) {
        std::fprintf(stderr, "%s", run.err.c_str());
        return false;
      }
      cold.round_trips.push_back(std::stod(run.out) / p.round_trip_ms());
      cold.connections.push_back(static_cast<double>(p.proxy->connections() - before));
    }
    report(p, click, "cold", cold);

    // Warm: after one request of this process to the platform.
    if (timed_list(host.host, p.uuid, CLICKS[0], p.zone) < 0) return false;
    Sample warm;
    for (int i = 0; i < click.warm_runs; ++i) {
      const long long before = p.proxy->connections();
      if (i == 0 && !p.tls) p.sim.reset_stats();
      const double ms = timed_list(host.host, p.uuid, click, p.zone);
      if (ms < 0) return false;
      if (i == 0 && !p.tls) {
        bench::figure(std::string(click.name) + ": API requests",
                      static_cast<double>(p.sim.requests()), "");
      }
      warm.round_trips.push_back(ms / p.round_trip_ms());
      warm.connections.push_back(static_cast<double>(p.proxy->connections() - before));
    }
    report(p, click, "warm", warm);
  }
  return true;
}

// 2. The program's walk on one job and on eight, turn about; medians.
bool tree(Host& host, Platform& p, const std::string& depth) {
  std::printf("\nqingcloud-agent tree of qingcloud-sim --generate %s, depth %s, over the link:\n",
              p.sim.sizes().c_str(), depth.c_str());
  std::vector<std::string> args = {QINGCLOUD_AGENT_PATH,
                                   "tree",
                                   p.uuid,
                                   "--view",
                                   "hosts",
                                   "--home",
                                   host.home.dir(),
                                   "--plugin",
                                   QINGCLOUD_PLUGIN_PATH};
  if (depth != "all") args.insert(args.end(), {"--depth", depth});
  std::vector<double> seconds[2];
  std::string text[2];
  const char* jobs[2] = {"1", "8"};
  // The whole tree takes minutes on one job: once is enough there.
  const int rounds = depth == "all" ? 1 : 3;
  for (int round = 0; round < rounds; ++round) {
    for (int j = 0; j < 2; ++j) {
      std::vector<std::string> run_args = args;
      run_args.insert(run_args.end(), {"--jobs", jobs[j]});
      const Clock::time_point start = Clock::now();
      const testing_support::Program_Result run = testing_support::run_program(run_args);
      seconds[j].push_back(bench::milliseconds_since(start) / 1000);
      if (run.exit_code != 0) {
        std::fprintf(stderr, "bench_network: tree --jobs %s failed: %s", jobs[j], run.err.c_str());
        return false;
      }
      text[j] = run.out;
    }
  }
  const double one = bench::median(seconds[0]), eight = bench::median(seconds[1]);
  const std::string name = "tree depth " + depth + ": ";
  bench::figure(name + "nodes", std::count(text[0].begin(), text[0].end(), '\n'), "");
  bench::figure(name + "same text on 8 jobs as on 1", text[0] == text[1], "", "== 1",
                text[0] == text[1]);
  bench::figure(name + "--jobs 1", one, "s");
  bench::figure(name + "--jobs 8", eight, "s");
  bench::figure(name + "--jobs 8 / --jobs 1", eight / one, "x", "<= 0.2", eight / one <= 0.2);
  return true;
}

// 3. The operator's run-instance, whole process, a few times; medians.
bool run_instance(Platform& p, const std::string& ca_file) {
  std::vector<std::string> args = {QINGCLOUD_AGENT_PATH,
                                   "client",
                                   "--host",
                                   "127.0.0.1",
                                   "--port",
                                   std::to_string(p.proxy->port()),
                                   "--access-key-id",
                                   qingcloud_sim::DEMO_BOSS_KEY_ID,
                                   "--as-user",
                                   qingcloud_sim::DEMO_OPS_USER_ID,
                                   "--zone",
                                   p.zone,
                                   "run-instance",
                                   "--image",
                                   "centos77x64a",
                                   "--no-wait"};
  if (p.tls) {
    args.insert(args.end(), {"--ca-file", ca_file});
  } else {
    args.push_back("--no-ssl");
  }
  Sample s;
  for (int i = 0; i < 5; ++i) {
    const long long before = p.proxy->connections();
    const Clock::time_point start = Clock::now();
    const testing_support::Program_Result run = testing_support::run_program(
        args, "", {{"QINGCLOUD_SECRET_ACCESS_KEY", qingcloud_sim::DEMO_BOSS_SECRET}});
    const double ms = bench::milliseconds_since(start);
    if (run.exit_code != 0) {
      std::fprintf(stderr, "bench_network: run-instance failed: %s", run.err.c_str());
      return false;
    }
    s.round_trips.push_back(ms / p.round_trip_ms());
    s.connections.push_back(static_cast<double>(p.proxy->connections() - before));
  }
  const std::string name = std::string(p.scheme) + " client run-instance --no-wait: ";
  bench::figure(name + "latency", bench::median(s.round_trips), "rt");
  bench::figure(name + "connections", bench::median(s.connections), "");
  return true;
}

int run() {
  const char* delay_text = std::getenv("QC_BENCH_DELAY_MS");
  const int delay_ms = delay_text && std::atoi(delay_text) > 0 ? std::atoi(delay_text) : 25;
  const std::chrono::microseconds delay = std::chrono::milliseconds(delay_ms);
  const char* depth_text = std::getenv("QC_BENCH_TREE_DEPTH");
  const std::string depth = depth_text && *depth_text ? depth_text : "all";

  testing_support::Test_Certificate certificate("IP:127.0.0.1,DNS:localhost");
  const Key_File key(certificate.key());
  if (key.path().empty()) {
    std::fprintf(stderr, "bench_network: cannot write the TLS key\n");
    return 1;
  }
  HTTP_TLS_Context::set_default_ca_file(certificate.pem_file());
  // The platforms are generated at once, each in its own process.  Every
  // instance of the listed zone is one that the vms view shows.
  const std::string sizes = "instances=10000,zones=1,listed=100";
  Platform plain("HTTP", sizes, delay);
  Platform tls("TLS", sizes, delay,
               {"--tls-cert", certificate.pem_file(), "--tls-key", key.path()});
  Platform walked("HTTP", "instances=2000,zones=2", delay);
  Host host;
  std::string error;
  if (!host.start(error)) {
    std::fprintf(stderr, "bench_network: %s\n", error.c_str());
    return 1;
  }
  // The plug-in's own log lines would drown the figures.
  Log_Lines quiet;
  for (Platform* p : {&plain, &tls, &walked}) {
    if (!p->start(host, error)) {
      std::fprintf(stderr, "bench_network: %s\n", error.c_str());
      return 1;
    }
  }
  const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  const std::string home_dir = host.home.dir();
  const char* parts_text = std::getenv("QC_BENCH_PARTS");
  const std::string parts = parts_text && *parts_text ? parts_text : "clicks,tree,run";
  if (parts.find("clicks") != std::string::npos &&
      (!clicks(host, plain, self, home_dir, "") ||
       !clicks(host, tls, self, home_dir, certificate.pem_file())))
    return 1;
  if (parts.find("tree") != std::string::npos && !tree(host, walked, depth)) return 1;
  if (parts.find("run") != std::string::npos &&
      (!run_instance(plain, "") || !run_instance(tls, certificate.pem_file())))
    return 1;
  return 0;
}

}  // namespace

// libcurl is set up by the host's HTTP library at its first request (with
// its wiping allocator), as in the agent: the simulators' statistics, read
// with plain libcurl, are asked for only after that.
int main(int argc, char** argv) {
  // `make bench` passes Google Benchmark's options to every program: ignored.
  if (argc == 8 && std::string(argv[1]) == "--one") return one_request(argv);
  return run();
}
