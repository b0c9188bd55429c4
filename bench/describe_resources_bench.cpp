// What paging through 10,000 instances (100 pages) costs through the client's
// describe_resources, against the floor: the same 100 signed pages fetched
// with plain libcurl over one handle, bodies read but not parsed.  A third run
// fetches them the same way and reads each body into a JSON value, which
// tells the cost of reading JSON apart from the client's own work.  Prints the
// times and their ratios.
#include <cstdio>
#include <ctime>
#include <map>
#include <memory>
#include <string>

#include <benchmark/benchmark.h>
#include <boost/json/object.hpp>
#include <boost/json/serialize.hpp>
#include <curl/curl.h>

#include "api/common_client.h"
#include "host/http/http_method.h"
#include "host/json_spirit/reader.h"
#include "testing/request_signer.h"
#include "tools/qingcloud_sim/demo_inventory.h"
#include "tools/qingcloud_sim/generated_inventory.h"
#include "tools/qingcloud_sim/simulator.h"

namespace {

constexpr int INSTANCES = 10000;
constexpr int PAGES = INSTANCES / qingcloud::Common_Client::DEFAULT_LIMITS;

qingcloud_sim::Simulator& simulator() {
  static std::unique_ptr<qingcloud_sim::Simulator> sim = [] {
    auto s = std::make_unique<qingcloud_sim::Simulator>(
        [] {
          qingcloud_sim::Generate_Sizes sizes;
          sizes.instances = INSTANCES;
          sizes.zones = 1;
          return qingcloud_sim::generate_inventory(sizes, 1);
        },
        qingcloud_sim::Options());
    s->start();
    return s;
  }();
  return *sim;
}

class Boss_Client : public qingcloud::Common_Client {
 public:
  Boss_Client() : Common_Client(HTTP_METHOD_POST, "/boss2/", "5.1.1") {}
};

void BM_describe_resources(benchmark::State& state) {
  qingcloud_sim::Simulator& sim = simulator();
  Boss_Client client;
  if (!client.login(sim.host(), static_cast<std::uint16_t>(sim.port()), false,
                    secure_string(qingcloud_sim::DEMO_BOSS_KEY_ID),
                    secure_string(qingcloud_sim::DEMO_BOSS_SECRET))) {
    state.SkipWithError("login failed");
    return;
  }
  const std::string zone = *client.zones().begin();
  std::size_t records = 0;
  for (auto _ : state) {
    json_spirit::Object params{{"zone", zone}};
    bool ok = client.describe_resources(
        "DescribeInstances", params,
        qingcloud::Describe_Resource_Handler("instance_set", [&](const json_spirit::Value& page) {
          records += page.get_array().size();
          return true;
        }));
    if (!ok) state.SkipWithError("describe failed");
  }
  state.counters["records"] = static_cast<double>(records / state.iterations());
}

std::string time_stamp() {
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  gmtime_r(&now, &tm);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return text;
}

std::size_t keep(char* data, std::size_t size, std::size_t n, void* body) {
  static_cast<std::string*>(body)->append(data, size * n);
  return size * n;
}

// Fetches the 100 pages with one curl handle; `parse` reads each into a value.
void fetch_pages(benchmark::State& state, bool parse) {
  qingcloud_sim::Simulator& sim = simulator();
  const std::string url = "http://" + sim.host() + ":" + std::to_string(sim.port()) + "/boss2/";
  Boss_Client probe;  // only to learn the zone's id
  if (!probe.login(sim.host(), static_cast<std::uint16_t>(sim.port()), false,
                   secure_string(qingcloud_sim::DEMO_BOSS_KEY_ID),
                   secure_string(qingcloud_sim::DEMO_BOSS_SECRET))) {
    state.SkipWithError("login failed");
    return;
  }
  const std::string zone = *probe.zones().begin();
  CURL* curl = curl_easy_init();
  std::size_t bytes = 0;
  std::string reply;
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, keep);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply);
  for (auto _ : state) {
    for (int page = 0; page < PAGES; ++page) {
      boost::json::object params{{"action", "DescribeInstances"},
                                 {"zone", zone},
                                 {"offset", page * 100},
                                 {"limit", 100},
                                 {"version", 1},
                                 {"signature_version", 1},
                                 {"signature_method", "HmacSHA256"}};
      testing_support::Pairs pairs{{"access_key_id", qingcloud_sim::DEMO_BOSS_KEY_ID},
                                   {"action", "DescribeInstances"},
                                   {"params", boost::json::serialize(params)},
                                   {"time_stamp", time_stamp()}};
      std::string body =
          testing_support::signed_query("POST", "/boss2/", pairs, qingcloud_sim::DEMO_BOSS_SECRET);
      curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.c_str());
      curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
      reply.clear();
      if (curl_easy_perform(curl) != CURLE_OK) state.SkipWithError("transfer failed");
      bytes += reply.size();
      if (parse) {
        json_spirit::Value value;
        if (!json_spirit::read(reply, value)) state.SkipWithError("reply is not JSON");
      }
    }
  }
  state.counters["bytes_per_pass"] = static_cast<double>(bytes / state.iterations());
  curl_easy_cleanup(curl);
}

void BM_plain_libcurl_floor(benchmark::State& state) {
  fetch_pages(state, false);
}
void BM_libcurl_and_json_read(benchmark::State& state) {
  fetch_pages(state, true);
}

BENCHMARK(BM_describe_resources)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();
BENCHMARK(BM_plain_libcurl_floor)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();
BENCHMARK(BM_libcurl_and_json_read)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();

// Keeps each benchmark's time per pass for the ratio.
class Ratio_Reporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration) {
        ms[run.benchmark_name()] = run.GetAdjustedRealTime();
      }
    }
  }
  std::map<std::string, double> ms;
};

}  // namespace

int main(int argc, char** argv) {
  curl_global_init(CURL_GLOBAL_DEFAULT);
  benchmark::Initialize(&argc, argv);
  Ratio_Reporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  double client = reporter.ms["BM_describe_resources/min_time:3.000/real_time"];
  double floor = reporter.ms["BM_plain_libcurl_floor/min_time:3.000/real_time"];
  double with_json = reporter.ms["BM_libcurl_and_json_read/min_time:3.000/real_time"];
  if (client > 0 && floor > 0 && with_json > 0) {
    std::printf(
        "\n%d records in %d pages: describe_resources %.1f ms, plain libcurl %.1f ms "
        "(ratio %.2f); libcurl and JSON reading %.1f ms (ratio %.2f)\n",
        INSTANCES, PAGES, client, floor, client / floor, with_json, client / with_json);
  }
  curl_global_cleanup();
  return 0;
}
