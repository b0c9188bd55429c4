// What paging through 10,000 instances (100 pages) costs through the client's
// describe_resources, against the floor: the same 100 signed pages fetched
// with plain libcurl over one handle, bodies read but not parsed.  Two more
// runs fetch them the same way and read each body, into the host's JSON
// values and with Boost.JSON's own parser into its own values, which tells the
// cost of reading JSON apart from the client's own work.
//
// Last, the operator's `qingcloud-agent client describe-instances` of the
// same zone, whole process, its output thrown away: what a change anywhere
// on the command's path costs shows there.
//
// The five run in turn, round after round, and the medians are compared, so
// that a machine busy with other work slows all five alike.  Prints the times
// and their ratios and keeps them for the summary of `make bench`
// ($QC_BENCH_FIGURES); QC_BENCH_ROUNDS sets the rounds (default 15).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <boost/json/object.hpp>
#include <boost/json/parse.hpp>
#include <boost/json/serialize.hpp>
#include <curl/curl.h>

#include "api/common_client.h"
#include "bench/bench_support.h"
#include "host/http/curl_handles.h"
#include "host/http/http_method.h"
#include "host/json_spirit/reader.h"
#include "testing/request_signer.h"
#include "tools/qingcloud_sim/demo_inventory.h"
#include "tools/qingcloud_sim/generated_inventory.h"
#include "tools/qingcloud_sim/simulator.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int INSTANCES = 10000;
constexpr int PAGES = INSTANCES / qingcloud::Common_Client::DEFAULT_LIMITS;

class Boss_Client : public qingcloud::Common_Client {
 public:
  Boss_Client() : Common_Client(HTTP_METHOD_POST, "/boss2/", "5.1.1") {}
};

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

enum class Reading { NONE, HOST_VALUES, BOOST_JSON };

// The 100 pages fetched with one curl handle, each body read as told.
class Fetcher {
 public:
  Fetcher(const qingcloud_sim::Simulator& sim, std::string zone)
      : zone_(std::move(zone)),
        url_("http://" + sim.host() + ":" + std::to_string(sim.port()) + "/boss2/"),
        curl_(curl_easy_init()) {
    curl_easy_setopt(curl_, CURLOPT_URL, url_.c_str());
    curl_easy_setopt(curl_, CURLOPT_WRITEFUNCTION, keep);
    curl_easy_setopt(curl_, CURLOPT_WRITEDATA, &reply_);
  }
  ~Fetcher() { curl_easy_cleanup(curl_); }

  // False when a page did not come or did not read.
  bool fetch(Reading reading) {
    for (int page = 0; page < PAGES; ++page) {
      boost::json::object params{{"action", "DescribeInstances"},
                                 {"zone", zone_},
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
      curl_easy_setopt(curl_, CURLOPT_POSTFIELDS, body.c_str());
      curl_easy_setopt(curl_, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
      reply_.clear();
      if (curl_easy_perform(curl_) != CURLE_OK) return false;
      bytes_ += reply_.size();
      if (reading == Reading::HOST_VALUES) {
        json_spirit::Value value;
        if (!json_spirit::read(reply_, value)) return false;
      } else if (reading == Reading::BOOST_JSON) {
        boost::json::error_code ec;
        boost::json::value value = boost::json::parse(reply_, ec);
        if (ec) return false;
      }
    }
    return true;
  }
  std::size_t bytes() const { return bytes_; }

 private:
  std::string zone_;
  std::string url_;
  CURL* curl_;
  std::string reply_;
  std::size_t bytes_ = 0;
};

}  // namespace

int main() {
  // libcurl as the host's HTTP library sets it up (its blocks wiped when
  // freed), for the client and the floor alike.
  curl_init_once();
  const char* rounds_text = std::getenv("QC_BENCH_ROUNDS");
  const int rounds = rounds_text && std::atoi(rounds_text) > 0 ? std::atoi(rounds_text) : 15;
  {
    qingcloud_sim::Simulator sim(
        [] {
          qingcloud_sim::Generate_Sizes sizes;
          sizes.instances = INSTANCES;
          sizes.zones = 1;
          return qingcloud_sim::generate_inventory(sizes, 1);
        },
        qingcloud_sim::Options());
    sim.start();
    Boss_Client client;
    if (!client.login(sim.host(), static_cast<std::uint16_t>(sim.port()), false,
                      secure_string(qingcloud_sim::DEMO_BOSS_KEY_ID),
                      secure_string(qingcloud_sim::DEMO_BOSS_SECRET))) {
      std::fprintf(stderr, "bench_describe_resources: login failed\n");
      return 1;
    }
    const std::string zone = *client.zones().begin();
    Fetcher fetcher(sim, zone);

    // The operator's command, whole process: login, the listing, the
    // records as JSON on its standard output.
    const std::vector<std::string> command = {QINGCLOUD_AGENT_PATH,
                                              "client",
                                              "--host",
                                              sim.host(),
                                              "--port",
                                              std::to_string(sim.port()),
                                              "--no-ssl",
                                              "--access-key-id",
                                              qingcloud_sim::DEMO_BOSS_KEY_ID,
                                              "--zone",
                                              zone,
                                              "describe-instances"};
    const std::vector<std::string> secret = {std::string("QINGCLOUD_SECRET_ACCESS_KEY=") +
                                             qingcloud_sim::DEMO_BOSS_SECRET};
    std::vector<double> describe, floor, host_values, boost_json, command_wall, command_cpu;
    long command_rss = 0;
    std::size_t records = 0;
    for (int r = 0; r < rounds; ++r) {
      Clock::time_point start = Clock::now();
      json_spirit::Object params{{"zone", zone}};
      const bool ok = client.describe_resources(
          "DescribeInstances", params,
          qingcloud::Describe_Resource_Handler("instance_set", [&](const json_spirit::Value& page) {
            records += page.get_array().size();
            return true;
          }));
      describe.push_back(bench::milliseconds_since(start));
      for (auto [reading, times] :
           {std::pair{Reading::NONE, &floor}, std::pair{Reading::HOST_VALUES, &host_values},
            std::pair{Reading::BOOST_JSON, &boost_json}}) {
        start = Clock::now();
        if (!fetcher.fetch(reading) || !ok) {
          std::fprintf(stderr, "bench_describe_resources: a page failed\n");
          return 1;
        }
        times->push_back(bench::milliseconds_since(start));
      }
      const bench::Program_Cost cost = bench::run_and_measure(command, secret);
      if (!cost.ok) {
        std::fprintf(stderr, "bench_describe_resources: the client command failed\n");
        return 1;
      }
      command_wall.push_back(cost.wall_ms);
      command_cpu.push_back(cost.cpu_ms);
      command_rss = std::max(command_rss, cost.max_rss_kib);
    }
    const double client_ms = bench::median(describe);
    const double floor_ms = bench::median(floor);
    const double json_ms = bench::median(host_values);
    const double boost_ms = bench::median(boost_json);
    std::printf("%zu records in %d pages (%.1f MB a pass), %d rounds, medians:\n",
                records / static_cast<std::size_t>(rounds), PAGES,
                static_cast<double>(fetcher.bytes()) / 3 / rounds / 1e6, rounds);
    bench::figure("describe 10k: describe_resources", client_ms, "ms");
    bench::figure("describe 10k: plain libcurl floor", floor_ms, "ms");
    bench::figure("describe 10k: libcurl + host JSON values", json_ms, "ms");
    bench::figure("describe 10k: libcurl + Boost.JSON parse", boost_ms, "ms");
    bench::figure("describe 10k: describe_resources / floor", client_ms / floor_ms, "x", "<= 2.5",
                  client_ms / floor_ms <= 2.5);
    bench::figure("describe 10k: describe_resources / libcurl + Boost.JSON", client_ms / boost_ms,
                  "x", "<= 1.5", client_ms / boost_ms <= 1.5);
    bench::figure("describe 10k: libcurl + host JSON values / floor", json_ms / floor_ms, "x");
    const double command_ms = bench::median(command_wall);
    bench::figure("describe 10k: client command, whole process", command_ms, "ms");
    bench::figure("describe 10k: client command, CPU", bench::median(command_cpu), "ms");
    bench::figure("describe 10k: client command, peak resident", command_rss / 1024.0, "MiB");
    bench::figure("describe 10k: client command / floor", command_ms / floor_ms, "x");
  }
  // No curl_global_cleanup: the HTTP library keeps idle connections for the
  // life of the process.
  return 0;
}
