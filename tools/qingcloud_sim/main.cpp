// qingcloud-sim: the QingCloud API simulator as a program, for demos and for
// clients in other processes.  Prints the bound port on the first line of
// stdout and serves until SIGINT or SIGTERM.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <signal.h>
#include <string>

#include <boost/json/serialize.hpp>

#include "tools/qingcloud_sim/demo_inventory.h"
#include "tools/qingcloud_sim/generated_inventory.h"
#include "tools/qingcloud_sim/inventory_file.h"
#include "tools/qingcloud_sim/params.h"
#include "tools/qingcloud_sim/simulator.h"

namespace {

using namespace qingcloud_sim;

// Also the source of the manual page (help2man): its paragraphs and the
// headings "Options:" and "Examples:" become the page's sections.
const char USAGE[] =
    "Usage: qingcloud-sim [OPTION]...\n"
    "A simulator of the QingCloud API for trying and testing its clients: it serves\n"
    "the platform's API (GET /iaas/, POST /boss2/) with signed requests, paged\n"
    "describes, jobs and leases, over an inventory it keeps in memory.  The port is\n"
    "printed on the first line of standard output.  It stops on SIGINT or SIGTERM.\n"
    "\n"
    "Options:\n"
    "  --listen HOST:PORT  the address to serve on (default 127.0.0.1 and a free port)\n"
    "  --port-file F       also write the port to F, before it is printed\n"
    "  --inventory F       serve the inventory of the JSON file F\n"
    "  --generate SIZES    serve a generated inventory of SIZES, such as\n"
    "                      instances=2000,zones=2 (or just 2000): NAME=N for instances,\n"
    "                      zones, users, bots, volumes and snapshots, and listed=P for\n"
    "                      the percent of the instances that the vms view lists\n"
    "  --seed N            the seed of the generated inventory (default 1)\n"
    "  --tls-cert F        serve HTTPS with the PEM certificate in F (with --tls-key)\n"
    "  --tls-key F         the PEM private key of that certificate\n"
    "  --job-seconds N     how long a job runs (default 2)\n"
    "  --lease-seconds N   how long a new resource's lease takes to become active\n"
    "                      (default 2)\n"
    "  --max-clock-skew N  the seconds a request's time stamp may be off (default 60)\n"
    "  --log-requests      log one line per API request on standard error\n"
    "  --dump-inventory    print the inventory as JSON and exit\n"
    "  -h, --help          print this help and exit\n"
    "  --version           print the version and exit\n"
    "\n"
    "Without --inventory or --generate it serves the built-in demo inventory, whose\n"
    "back-office key is QYDEMOBOSS0000000001 with the secret demo-boss-secret.\n"
    "\n"
    "Examples:\n"
    "  $ qingcloud-sim --listen 127.0.0.1:41234\n"
    "  $ qingcloud-sim --generate instances=2000,zones=2 --seed 7\n";

struct Program_Options {
  Options server;
  std::string port_file;
  std::string inventory_file;
  std::string generate;
  std::uint64_t seed = 1;
  bool dump = false;
};

bool parse_number(const char* text, std::int64_t low, std::int64_t high, std::int64_t* value) {
  return parse_integer(text, value) && *value >= low && *value <= high;
}

bool parse_listen(const std::string& text, Options* options) {
  const std::size_t colon = text.rfind(':');
  if (colon == std::string::npos) return false;
  std::string host = text.substr(0, colon);
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
    host = host.substr(1, host.size() - 2);
  std::int64_t port = 0;
  if (!parse_number(text.c_str() + colon + 1, 0, 65535, &port)) return false;
  options->host = host.empty() ? "127.0.0.1" : host;
  options->port = static_cast<int>(port);
  return true;
}

// Returns 0 on success, else the exit status (after printing why).
int parse_args(int argc, char** argv, Program_Options* p) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](const char** out) {
      if (i + 1 >= argc) return false;
      *out = argv[++i];
      return true;
    };
    const char* v = nullptr;
    std::int64_t n = 0;
    bool ok = true;
    if (arg == "--help" || arg == "-h") {
      std::fputs(USAGE, stdout);
      return -1;
    } else if (arg == "--version") {
      std::printf("qingcloud-sim %s\n", QC_VERSION);
      return -1;
    } else if (arg == "--listen") {
      ok = value(&v) && parse_listen(v, &p->server);
    } else if (arg == "--port-file") {
      ok = value(&v) && (p->port_file = v, true);
    } else if (arg == "--inventory") {
      ok = value(&v) && (p->inventory_file = v, true);
    } else if (arg == "--generate") {
      ok = value(&v) && (p->generate = v, true);
    } else if (arg == "--seed") {
      ok = value(&v) && parse_number(v, 0, INT64_MAX, &n) &&
           (p->seed = static_cast<std::uint64_t>(n), true);
    } else if (arg == "--tls-cert") {
      ok = value(&v) && (p->server.tls_cert_file = v, true);
    } else if (arg == "--tls-key") {
      ok = value(&v) && (p->server.tls_key_file = v, true);
    } else if (arg == "--job-seconds") {
      ok = value(&v) && parse_number(v, 0, 86400, &n) &&
           (p->server.job_seconds = static_cast<int>(n), true);
    } else if (arg == "--lease-seconds") {
      ok = value(&v) && parse_number(v, 0, 86400, &n) &&
           (p->server.lease_seconds = static_cast<int>(n), true);
    } else if (arg == "--max-clock-skew") {
      ok = value(&v) && parse_number(v, 0, 315360000, &n) &&
           (p->server.max_clock_skew = static_cast<int>(n), true);
    } else if (arg == "--log-requests") {
      p->server.log_requests = true;
    } else if (arg == "--dump-inventory") {
      p->dump = true;
    } else {
      std::fprintf(stderr, "qingcloud-sim: unknown option '%s'\n\n%s", arg.c_str(), USAGE);
      return 2;
    }
    if (!ok) {
      std::fprintf(stderr, "qingcloud-sim: bad or missing value for %s\n\n%s", arg.c_str(), USAGE);
      return 2;
    }
  }
  if (!p->inventory_file.empty() && !p->generate.empty()) {
    std::fprintf(stderr, "qingcloud-sim: --inventory and --generate exclude each other\n");
    return 2;
  }
  if (p->server.tls_cert_file.empty() != p->server.tls_key_file.empty()) {
    std::fprintf(stderr, "qingcloud-sim: --tls-cert and --tls-key go together\n");
    return 2;
  }
  return 0;
}

Simulator::Inventory_Source make_source(const Program_Options& p, std::string* description) {
  if (!p.inventory_file.empty()) {
    auto loaded = std::make_shared<const Inventory>(load_inventory_file(p.inventory_file));
    *description = "the inventory of " + p.inventory_file;
    return [loaded] { return *loaded; };
  }
  if (!p.generate.empty()) {
    Generate_Sizes sizes;
    std::string error;
    if (!parse_generate_sizes(p.generate, &sizes, &error))
      throw std::runtime_error("--generate: " + error);
    *description =
        "a generated inventory (" + p.generate + ", seed " + std::to_string(p.seed) + ")";
    const std::uint64_t seed = p.seed;
    return [sizes, seed] { return generate_inventory(sizes, seed); };
  }
  *description = "the demo inventory";
  return [] { return demo_inventory(); };
}

bool write_port_file(const std::string& path, int port) {
  const std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary);
    out << port << "\n";
    if (!out) return false;
  }
  return std::rename(temporary.c_str(), path.c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  Program_Options p;
  if (const int status = parse_args(argc, argv, &p)) return status < 0 ? 0 : status;

  // The server's threads inherit this mask: only the main thread takes the
  // stop signals, in sigwait below.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  std::unique_ptr<Simulator> simulator;
  std::string description;
  try {
    simulator = std::make_unique<Simulator>(make_source(p, &description), p.server);
    if (p.dump) {
      std::puts(boost::json::serialize(dump_inventory(simulator->platform().inventory())).c_str());
      return 0;
    }
    simulator->start();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "qingcloud-sim: %s\n", e.what());
    return 1;
  }

  // The port file first: whoever reads the port from stdout finds the file.
  if (!p.port_file.empty() && !write_port_file(p.port_file, simulator->port())) {
    std::fprintf(stderr, "qingcloud-sim: cannot write the port file %s\n", p.port_file.c_str());
    return 1;
  }
  std::printf("%d\n", simulator->port());
  std::string zones;
  for (const std::string& z : simulator->platform().zone_ids())
    zones += (zones.empty() ? "" : ", ") + z;
  std::printf("qingcloud-sim: serving %s on %s://%s:%d (version %s; zones %s; %zu instances)\n",
              description.c_str(), simulator->tls() ? "https" : "http", simulator->host().c_str(),
              simulator->port(), simulator->platform().version().c_str(), zones.c_str(),
              simulator->platform().instance_count());
  std::fflush(stdout);

  int signal_number = 0;
  sigwait(&stop_signals, &signal_number);
  std::printf("qingcloud-sim: stopping on signal %d\n", signal_number);
  simulator->stop();
  return 0;
}
