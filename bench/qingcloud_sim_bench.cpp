// How fast the simulator serves pages of 100 instances to one keep-alive
// client, so that client benchmarks measure the client.  The client signs
// each request (like a real one) and reads the whole body, without parsing it.
#include <ctime>
#include <memory>

#include <benchmark/benchmark.h>
#include <boost/json/object.hpp>
#include <boost/json/serialize.hpp>
#include <httplib.h>

#include "testing/request_signer.h"
#include "tools/qingcloud_sim/demo_inventory.h"
#include "tools/qingcloud_sim/generated_inventory.h"
#include "tools/qingcloud_sim/simulator.h"

namespace {

using testing_support::Pairs;

constexpr int INSTANCES = 10000;

qingcloud_sim::Simulator& simulator() {
  static std::unique_ptr<qingcloud_sim::Simulator> sim = [] {
    qingcloud_sim::Options options;
    auto s = std::make_unique<qingcloud_sim::Simulator>(
        [] {
          qingcloud_sim::Generate_Sizes sizes;
          sizes.instances = INSTANCES;
          sizes.zones = 1;
          return qingcloud_sim::generate_inventory(sizes, 1);
        },
        options);
    s->start();
    return s;
  }();
  return *sim;
}

std::string time_stamp() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  gmtime_r(&now, &tm);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return text;
}

Pairs common(const char* action) {
  return {{"access_key_id", qingcloud_sim::DEMO_BOSS_KEY_ID},
          {"action", action},
          {"time_stamp", time_stamp()}};
}

void report(benchmark::State& state, httplib::Client& client, std::size_t bytes) {
  state.counters["pages_per_second"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
  state.counters["connections"] = static_cast<double>(simulator().stats().connections_accepted);
  (void)client;
}

void BM_InstancePages_Boss2Post(benchmark::State& state) {
  httplib::Client client("127.0.0.1", simulator().port());
  client.set_keep_alive(true);
  client.set_tcp_nodelay(true);
  simulator().reset_stats();
  std::size_t bytes = 0;
  int offset = 0;
  for (auto _ : state) {
    Pairs pairs = common("DescribeInstances");
    const boost::json::object params{{"action", "DescribeInstances"},
                                     {"zone", "pek3a"},
                                     {"offset", offset},
                                     {"limit", 100},
                                     {"version", 1},
                                     {"signature_version", 1},
                                     {"signature_method", "HmacSHA256"}};
    pairs.emplace_back("params", boost::json::serialize(params));
    const auto result = client.Post(
        "/boss2/",
        testing_support::signed_query("POST", "/boss2/", pairs, qingcloud_sim::DEMO_BOSS_SECRET),
        "application/x-www-form-urlencoded");
    if (!result || result->status != 200) {
      state.SkipWithError("request failed");
      break;
    }
    bytes += result->body.size();
    offset = (offset + 100) % INSTANCES;
  }
  report(state, client, bytes);
}
BENCHMARK(BM_InstancePages_Boss2Post)->UseRealTime();

void BM_InstancePages_IaasGet(benchmark::State& state) {
  httplib::Client client("127.0.0.1", simulator().port());
  client.set_keep_alive(true);
  client.set_tcp_nodelay(true);
  client.set_url_encode(false);
  simulator().reset_stats();
  std::size_t bytes = 0;
  int offset = 0;
  for (auto _ : state) {
    Pairs pairs = common("DescribeInstances");
    pairs.insert(pairs.end(), {{"zone", "pek3a"},
                               {"offset", std::to_string(offset)},
                               {"limit", "100"},
                               {"status.1", "running"},
                               {"status.2", "stopped"},
                               {"version", "1"},
                               {"signature_version", "1"},
                               {"signature_method", "HmacSHA256"}});
    const auto result =
        client.Get("/iaas/?" + testing_support::signed_query("GET", "/iaas/", pairs,
                                                             qingcloud_sim::DEMO_BOSS_SECRET));
    if (!result || result->status != 200) {
      state.SkipWithError("request failed");
      break;
    }
    bytes += result->body.size();
    offset = (offset + 100) % 8000;
  }
  report(state, client, bytes);
}
BENCHMARK(BM_InstancePages_IaasGet)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
