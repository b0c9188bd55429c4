// The service left running under load: `qingcloud-agent serve` (4 handler
// threads) against `qingcloud-sim --generate instances=2000,zones=2`, each in
// a process of its own.  32 clients send the console's requests for
// QC_SOAK_SECONDS (default 300): every level of the three views, searches,
// login tests and now and then a batch; every few seconds one of the
// simulator's faults is armed for a couple of requests.  Every answer is
// checked against the one the same request got before the load.
//
// Figures: requests per second; p50 and p99 latency per kind of request;
// JSON-RPC errors (-32603 while a fault was armed; none of any code
// otherwise); wrong answers; the resident memory of serve after the first
// minute (a fifth of a shorter run) and at the end; and, once the faults
// stop, one request of each kind, which must answer right.  The program
// exits 1 when a target is missed.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <boost/json/parse.hpp>
#include <boost/json/serialize.hpp>
#include <boost/json/value.hpp>

#include "bench/bench_support.h"
#include "bench/soak_parts.h"
#include "tools/qingcloud_sim/demo_inventory.h"

namespace {

using bench::Clock;
using bench::Kind;
using boost::json::value;

constexpr int CLIENTS = 32;

// The faults armed in turn, each for the next two requests to the platform.
const char* const FAULTS[] = {
    R"({"fault":"http_status","status":500,"body":"busy","times":2})",
    R"({"fault":"not_json","times":2})",
    R"({"fault":"no_ret_code","times":2})",
    R"({"fault":"ret_code","ret_code":5000,"message":"ServerBusy, try later","times":2})",
    R"({"fault":"drop_connection","times":2})",
    R"({"fault":"total_count_drift","times":2})",
    R"({"fault":"malformed_record","times":2})",
    R"({"fault":"delay","delay_ms":300,"times":2})",
};

// How often each kind is picked, in percent; the order of bench::Kind.
const int WEIGHTS[bench::KINDS] = {10, 10, 20, 25, 3, 5, 10, 10, 4, 3};

// Arms the faults in turn, one every `every`, until `until`; each window
// runs from arming to the moment the simulator reports the fault used up
// (and cleared).
std::vector<bench::Window> arm_faults(const bench::Sim_Control& sim, Clock::duration every,
                                      Clock::time_point until) {
  std::vector<bench::Window> windows;
  for (std::size_t n = 0;; ++n) {
    const Clock::time_point next =
        windows.empty() ? Clock::now() + every : windows.back().start + every;
    if (next >= until) break;
    std::this_thread::sleep_until(next);
    bench::Window w;
    w.start = Clock::now();
    sim.arm(FAULTS[n % std::size(FAULTS)]);
    for (int i = 0; i < 250 && sim.armed(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    sim.clear();
    w.end = Clock::now();
    windows.push_back(w);
  }
  return windows;
}

int seconds_to_run() {
  const char* text = std::getenv("QC_SOAK_SECONDS");
  const int seconds = text ? std::atoi(text) : 0;
  return seconds > 0 ? seconds : 300;
}

}  // namespace

int main() {
  const int seconds = seconds_to_run();
  bench::Sim_Process sim("instances=2000,zones=2");
  bench::Serve_Process serve;
  std::string error;
  if (!sim.wait_ready() || !serve.start(4, error)) {
    std::fprintf(stderr, "bench_serve_soak: %s\n", error.empty() ? "no simulator" : error.c_str());
    return 1;
  }
  bench::Soak_Client setup(serve);
  bench::Catalogue catalogue;
  if (!catalogue.build(setup, sim.port(), error)) {
    std::fprintf(stderr, "bench_serve_soak: %s\n", error.c_str());
    return 1;
  }
  std::printf("soak: %d s, %d clients, %zu requests known, platform %s\n", seconds, CLIENTS,
              catalogue.size(), sim.sizes().c_str());

  const Clock::time_point begin = Clock::now();
  const Clock::time_point end = begin + std::chrono::seconds(seconds);
  std::vector<std::vector<bench::Sample>> samples(CLIENTS);
  std::vector<std::thread> clients;
  for (int c = 0; c < CLIENTS; ++c) {
    clients.emplace_back([&, c] {
      bench::Soak_Client client(serve);
      std::mt19937 random(static_cast<unsigned>(c) + 1);
      std::discrete_distribution<int> kinds(std::begin(WEIGHTS), std::end(WEIGHTS));
      while (Clock::now() < end)
        samples[c].push_back(client.send(catalogue, static_cast<Kind>(kinds(random)), random));
    });
  }
  const bench::Sim_Control control(sim.port());
  std::vector<bench::Window> windows;
  // A fault every five seconds (more often in a short run), and none in
  // the last stretch, so that what follows a fault shows.
  const Clock::duration run = end - begin;
  const Clock::duration every =
      std::clamp<Clock::duration>(run / 10, std::chrono::seconds(1), std::chrono::seconds(5));
  const Clock::duration quiet = std::min<Clock::duration>(run / 4, std::chrono::seconds(10));
  std::thread faults([&] { windows = arm_faults(control, every, end - quiet); });

  const auto warm = std::min<Clock::duration>(std::chrono::seconds(60), (end - begin) / 5);
  std::this_thread::sleep_until(begin + warm);
  const std::size_t rss_warm = serve.resident_bytes();
  for (std::thread& t : clients)
    t.join();
  faults.join();
  const double elapsed = std::chrono::duration<double>(Clock::now() - begin).count();
  const std::size_t rss_end = serve.resident_bytes();

  // After the faults: one request of each kind, each answered right.
  int right_after = 0;
  std::mt19937 random(99);
  for (int k = 0; k < bench::KINDS; ++k) {
    const bench::Sample s = setup.send(catalogue, static_cast<Kind>(k), random);
    right_after += s.right > 0 && s.wrong + s.internal_errors + s.other_errors + s.failed == 0;
  }
  const bool alive = serve.alive();
  const int exit_code = serve.stop();

  bench::Tally tally = bench::tally(samples, windows);
  bench::report(tally, elapsed, windows.size());
  const double mib = 1024.0 * 1024.0;
  const double growth = rss_warm ? static_cast<double>(rss_end) / rss_warm : 0;
  // A short run measures memory that is still settling; only a long one is
  // held to the target.
  const bool judge_memory = seconds >= 120;
  bench::figure("soak: serve RSS after " +
                    std::to_string(std::chrono::duration_cast<std::chrono::seconds>(warm).count()) +
                    " s",
                rss_warm / mib, "MiB");
  bench::figure("soak: serve RSS at the end", rss_end / mib, "MiB");
  bench::figure("soak: RSS at the end over RSS then", growth, "x", judge_memory ? "<= 1.05" : "",
                growth <= 1.05);
  bench::figure("soak: kinds answered right after the faults", right_after, "",
                "== " + std::to_string(bench::KINDS), right_after == bench::KINDS);
  bench::figure("soak: serve alive at the end and stopped cleanly", alive && exit_code == 0, "",
                "== 1", alive && exit_code == 0);
  const bool met = tally.errors_without_fault == 0 && tally.other_errors == 0 && tally.wrong == 0 &&
                   tally.failed == 0 && (!judge_memory || growth <= 1.05) &&
                   right_after == bench::KINDS && alive && exit_code == 0;
  return met ? 0 : 1;
}
