#include "bench/bench_support.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <boost/json/parse.hpp>
#include <boost/json/serialize.hpp>
#include <boost/json/value.hpp>

#include "testing/child_process.h"
#include "testing/request_signer.h"
#include "tools/qingcloud_sim/demo_inventory.h"

extern char** environ;

namespace bench {
namespace {

std::size_t keep_body(char* data, std::size_t size, std::size_t n, void* body) {
  static_cast<std::string*>(body)->append(data, size * n);
  return size * n;
}

std::string time_stamp() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  gmtime_r(&now, &tm);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return text;
}

// One request to the simulator's control endpoint: the body, or "" on failure.
std::string control(int port, const char* method, const char* path) {
  CURL* curl = curl_easy_init();
  std::string body;
  const std::string url = "http://127.0.0.1:" + std::to_string(port) + path;
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, method);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, keep_body);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
  const bool ok = curl_easy_perform(curl) == CURLE_OK;
  curl_easy_cleanup(curl);
  return ok ? body : std::string();
}

// The parameters the client sends with every call (Common_Client::build_params).
boost::json::object call_params(const char* action) {
  return boost::json::object{{"action", action},
                             {"version", 1},
                             {"signature_version", 1},
                             {"signature_method", "HmacSHA256"}};
}

}  // namespace

Sim_Process::Sim_Process(const std::string& sizes, const std::vector<std::string>& options)
    : sizes_(sizes) {
  char pattern[] = "/tmp/qc-bench-XXXXXX";
  if (mkdtemp(pattern) == nullptr) return;
  dir_ = pattern;
  port_file_ = dir_ + "/port";
  std::vector<std::string> args = {QINGCLOUD_SIM_PATH, "--generate", sizes, "--port-file",
                                   port_file_};
  args.insert(args.end(), options.begin(), options.end());
  // Its first line (the port) is read from the port file; the rest is noise here.
  const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
  pid_ = testing_support::start_child(args, {-1, null, 2});
  if (null >= 0) close(null);
}

Sim_Process::~Sim_Process() {
  if (pid_ > 0) testing_support::stop_child(pid_, "qingcloud-sim");
  if (!port_file_.empty()) std::remove(port_file_.c_str());
  if (!dir_.empty()) rmdir(dir_.c_str());
}

bool Sim_Process::wait_ready() {
  if (pid_ <= 0) {
    std::fprintf(stderr, "cannot start %s\n", QINGCLOUD_SIM_PATH);
    return false;
  }
  for (int i = 0; i < 600 && port_ == 0; ++i) {
    std::ifstream in(port_file_);
    int port = 0;
    if (in >> port && port > 0) {
      port_ = port;
      break;
    }
    int status = 0;
    if (testing_support::wait_child(pid_, std::chrono::milliseconds(0), status)) {
      pid_ = -1;
      std::fprintf(stderr, "qingcloud-sim --generate %s ended early\n", sizes_.c_str());
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  if (port_ == 0)
    std::fprintf(stderr, "qingcloud-sim --generate %s did not start\n", sizes_.c_str());
  return port_ != 0;
}

long long Sim_Process::requests() const {
  const std::string body = control(port_, "GET", "/_sim/stats");
  boost::json::error_code ec;
  const boost::json::value stats = boost::json::parse(body, ec);
  if (ec || !stats.is_object()) return -1;
  const boost::json::value* n = stats.as_object().if_contains("requests");
  return n && n->is_number() ? n->to_number<long long>() : -1;
}

void Sim_Process::reset_stats() const {
  control(port_, "DELETE", "/_sim/stats");
}

Page_Fetcher::Page_Fetcher(int port)
    : curl_(curl_easy_init()), url_("http://127.0.0.1:" + std::to_string(port) + "/boss2/") {
  curl_easy_setopt(curl_, CURLOPT_URL, url_.c_str());
  curl_easy_setopt(curl_, CURLOPT_WRITEFUNCTION, keep_body);
  curl_easy_setopt(curl_, CURLOPT_WRITEDATA, &reply_);
}

Page_Fetcher::~Page_Fetcher() {
  curl_easy_cleanup(curl_);
}

bool Page_Fetcher::post(const std::string& action, const std::string& params_json) {
  const testing_support::Pairs pairs{{"access_key_id", qingcloud_sim::DEMO_BOSS_KEY_ID},
                                     {"action", action},
                                     {"params", params_json},
                                     {"time_stamp", time_stamp()}};
  const std::string body =
      testing_support::signed_query("POST", "/boss2/", pairs, qingcloud_sim::DEMO_BOSS_SECRET);
  curl_easy_setopt(curl_, CURLOPT_POSTFIELDS, body.c_str());
  curl_easy_setopt(curl_, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
  reply_.clear();
  if (curl_easy_perform(curl_) != CURLE_OK) return false;
  bytes_ += reply_.size();
  return true;
}

std::vector<std::string> Page_Fetcher::zones() {
  boost::json::object params = call_params("DescribeZones");
  params["status"] = boost::json::array{"active"};
  params["offset"] = 0;
  params["limit"] = 100;
  std::vector<std::string> zones;
  if (!post("DescribeZones", boost::json::serialize(params))) return zones;
  boost::json::error_code ec;
  const boost::json::value reply = boost::json::parse(reply_, ec);
  if (ec || !reply.is_object()) return zones;
  if (const boost::json::value* set = reply.as_object().if_contains("zone_set")) {
    for (const boost::json::value& zone : set->as_array())
      zones.emplace_back(zone.at("zone_id").as_string().c_str());
  }
  return zones;
}

std::string Page_Fetcher::instances_page(const std::string& zone, long long offset) {
  // The vms view of a zone: its running and stopped instances of users.
  boost::json::object params = call_params("DescribeInstances");
  params["zone"] = zone;
  params["status"] = boost::json::array{"running", "stopped"};
  params["controller"] = "self";
  params["offset"] = offset;
  params["limit"] = 100;
  return boost::json::serialize(params);
}

long long Page_Fetcher::listed(const std::string& zone) {
  if (!post("DescribeInstances", instances_page(zone, 0))) return -1;
  boost::json::error_code ec;
  const boost::json::value reply = boost::json::parse(reply_, ec);
  if (ec || !reply.is_object()) return -1;
  const boost::json::value* total = reply.as_object().if_contains("total_count");
  return total && total->is_int64() ? total->as_int64() : -1;
}

bool Page_Fetcher::login_and_list(const std::string& zone, long long total,
                                  const std::function<void(const std::string&)>& body) {
  boost::json::object login = call_params("DescribeZones");
  login["status"] = boost::json::array{"active"};
  login["offset"] = 0;
  login["limit"] = 100;
  if (!post("DescribeZones", boost::json::serialize(login))) return false;
  if (body) body(reply_);
  for (long long offset = 0; offset < total; offset += 100) {
    if (!post("DescribeInstances", instances_page(zone, offset))) return false;
    if (body) body(reply_);
  }
  return true;
}

std::size_t resident_bytes() {
  std::ifstream statm("/proc/self/statm");
  std::size_t pages = 0;
  std::size_t resident = 0;
  statm >> pages >> resident;
  return resident * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

std::size_t peak_resident_bytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<std::size_t>(usage.ru_maxrss) * 1024;  // Linux counts KiB
}

long long page_faults() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_minflt + usage.ru_majflt;
}

Program_Cost run_and_measure(const std::vector<std::string>& args,
                             const std::vector<std::string>& env) {
  Program_Cost cost;
  std::vector<std::string> all;
  for (char** e = environ; *e; ++e)
    all.emplace_back(*e);
  all.insert(all.end(), env.begin(), env.end());
  const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = testing_support::start_child(args, {-1, null, 2}, all);
  if (null >= 0) close(null);
  if (pid < 0) return cost;
  const auto deadline = start + std::chrono::minutes(1);
  int status = 0;
  rusage usage{};
  while (wait4(pid, &status, WNOHANG, &usage) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      testing_support::stop_child(pid, args[0]);
      return cost;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  cost.wall_ms = milliseconds_since(start);
  cost.cpu_ms = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
  cost.max_rss_kib = usage.ru_maxrss;
  cost.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return cost;
}

sockaddr_in loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<unsigned short>(port));
  return address;
}

double median(std::vector<double>& samples) {
  if (samples.empty()) return 0;
  std::sort(samples.begin(), samples.end());
  const std::size_t mid = samples.size() / 2;
  return samples.size() % 2 ? samples[mid] : (samples[mid - 1] + samples[mid]) / 2;
}

double milliseconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

void figure(const std::string& name, double value, const std::string& unit,
            const std::string& target, bool met) {
  std::printf("  %-58s %12.3f %-8s %s%s\n", name.c_str(), value, unit.c_str(), target.c_str(),
              target.empty() ? "" : (met ? "  (met)" : "  (NOT met)"));
  const char* file = std::getenv("QC_BENCH_FIGURES");
  if (file == nullptr || *file == '\0') return;
  boost::json::object line{{"figure", name}, {"value", value}, {"unit", unit}};
  if (!target.empty()) {
    line["target"] = target;
    line["met"] = met;
  }
  std::ofstream out(file, std::ios::app);
  out << boost::json::serialize(line) << "\n";
}

}  // namespace bench
