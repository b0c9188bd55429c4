#include "bench/soak_parts.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include <boost/json/parse.hpp>
#include <boost/json/serialize.hpp>

#include "bench/bench_support.h"
#include "testing/child_process.h"
#include "testing/program_run.h"
#include "tools/qingcloud_sim/demo_inventory.h"

namespace bench {

using boost::json::array;
using boost::json::object;
using boost::json::value;

const char* kind_name(Kind kind) {
  static const char* const NAMES[KINDS] = {
      "top of a view",       "hosts of a zone", "instances of a host", "disks of an instance",
      "instances of a zone", "users",           "networks of a user",  "search",
      "login test",          "batch of 2 to 4"};
  return NAMES[static_cast<int>(kind)];
}

// Serve_Process -------------------------------------------------------------

Serve_Process::~Serve_Process() {
  stop();
  std::error_code ignored;
  if (!dir_.empty()) std::filesystem::remove_all(dir_, ignored);
}

bool Serve_Process::start(int threads, std::string& error) {
  char pattern[] = "/tmp/qc-soak-XXXXXX";
  if (mkdtemp(pattern) == nullptr) {
    error = "cannot make a home folder";
    return false;
  }
  dir_ = pattern;
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) {
    error = "cannot make a pipe";
    return false;
  }
  pid_ = testing_support::start_child({QINGCLOUD_AGENT_PATH, "serve", "--threads",
                                       std::to_string(threads), "--home", dir_ + "/home"},
                                      {-1, out[1], 2});
  close(out[1]);
  // Its first line: http://127.0.0.1:PORT/#token=TOKEN
  const std::string line = pid_ > 0 ? testing_support::read_until(out[0], "\n") : std::string();
  close(out[0]);
  const std::string prefix = "http://127.0.0.1:";
  const std::size_t mark = line.find("/#token=");
  if (line.rfind(prefix, 0) != 0 || mark == std::string::npos) {
    error = "qingcloud-agent serve did not start (it printed '" + line + "')";
    return false;
  }
  port_ = std::atoi(line.c_str() + prefix.size());
  token_ = line.substr(mark + 8, line.find('\n') - mark - 8);
  return true;
}

std::size_t Serve_Process::resident_bytes() const {
  std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) return std::strtoull(line.c_str() + 6, nullptr, 10) * 1024;
  }
  return 0;
}

bool Serve_Process::alive() {
  int status = 0;
  if (pid_ <= 0) return false;
  if (!testing_support::wait_child(pid_, std::chrono::milliseconds(0), status)) return true;
  pid_ = -1;
  exit_code_ = testing_support::exit_code(status);
  return false;
}

int Serve_Process::stop() {
  if (pid_ <= 0) return exit_code_;
  const testing_support::Stopped stopped =
      testing_support::stop_child(pid_, "qingcloud-agent serve");
  pid_ = -1;
  exit_code_ = testing_support::exit_code(stopped.status);
  return exit_code_;
}

// Sim_Control ---------------------------------------------------------------

void Sim_Control::arm(const std::string& fault_json) const {
  httplib::Client("127.0.0.1", port_).Post("/_sim/faults", fault_json, "application/json");
}

bool Sim_Control::armed() const {
  auto res = httplib::Client("127.0.0.1", port_).Get("/_sim/faults");
  if (!res) return false;
  boost::json::error_code ec;
  const value json = boost::json::parse(res->body, ec);
  const value* faults = !ec && json.is_object() ? json.as_object().if_contains("faults") : nullptr;
  return faults && faults->is_array() && !faults->as_array().empty();
}

void Sim_Control::clear() const {
  httplib::Client("127.0.0.1", port_).Delete("/_sim/faults");
}

// Catalogue -----------------------------------------------------------------

namespace {

object listing(const std::string& uuid, const char* view, const std::string& type,
               const std::string& moid, const std::string& zone) {
  return object{{"uuid", uuid}, {"subtype", "inventory"}, {"view", view},
                {"type", type}, {"moid", moid},           {"zone", zone}};
}

std::string member(const value& node, const char* key) {
  const value* v = node.is_object() ? node.as_object().if_contains(key) : nullptr;
  return v && v->is_string() ? std::string(v->as_string()) : std::string();
}

// Up to `n` of `all`, spread over the whole of it.
std::vector<value> spread(const std::vector<value>& all, std::size_t n) {
  std::vector<value> out;
  for (std::size_t i = 0; i < all.size() && out.size() < n;
       i += std::max<std::size_t>(1, all.size() / n))
    out.push_back(all[i]);
  return out;
}

std::string message(const std::string& method, const value& params, int id) {
  return boost::json::serialize(
      object{{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", params}});
}

}  // namespace

bool Catalogue::add(Soak_Client& client, Kind kind, const std::string& method, value params,
                    std::string& error, value* result) {
  const value answer = client.call(message(method, params, 1), error);
  const value* got = answer.is_object() ? answer.as_object().if_contains("result") : nullptr;
  if (!got) {
    if (error.empty())
      error = method + " " + boost::json::serialize(params) + " answered " +
              boost::json::serialize(answer);
    return false;
  }
  by_kind_[static_cast<int>(kind)].push_back(Known_Request{method, std::move(params), *got});
  if (result) *result = *got;
  return true;
}

bool Catalogue::build(Soak_Client& client, int sim_port, std::string& error) {
  value added;
  const object settings{{"boss_host", "127.0.0.1"},
                        {"api_host", "127.0.0.1"},
                        {"port", sim_port},
                        {"ssl", false},
                        {"access_key", qingcloud_sim::DEMO_BOSS_KEY_ID},
                        {"secret_access_key", qingcloud_sim::DEMO_BOSS_SECRET}};
  const value answer = client.call(message("host.environments.add", settings, 1), error);
  uuid_ = member(answer.is_object() && answer.as_object().contains("result")
                     ? answer.as_object().at("result")
                     : value(),
                 "uuid");
  if (uuid_.empty()) {
    if (error.empty()) error = "host.environments.add answered " + boost::json::serialize(answer);
    return false;
  }
  const char* const LIST = "qingcloud.list";
  value top, users;
  std::vector<value> instances;
  for (const char* view : {"vms", "recovery", "hosts"}) {
    if (!add(client, Kind::TOP, LIST, listing(uuid_, view, "", "", ""), error, &top)) return false;
  }
  std::vector<std::string> zones;
  for (const value& zone : top.as_array())
    zones.push_back(member(zone, "moid"));
  for (const std::string& zone : zones) {
    value hosts;
    if (!add(client, Kind::HOSTS, LIST, listing(uuid_, "hosts", "Zone", zone, ""), error, &hosts) ||
        !add(client, Kind::ZONE_VMS, LIST, listing(uuid_, "vms", "Zone", zone, ""), error))
      return false;
    for (const value& host : hosts.as_array()) {
      value found;
      if (!add(client, Kind::INSTANCES, LIST,
               listing(uuid_, "hosts", "HostSystem", member(host, "moid"), zone), error, &found))
        return false;
      instances.insert(instances.end(), found.as_array().begin(), found.as_array().end());
    }
  }
  for (const value& instance : spread(instances, 100)) {
    if (!add(client, Kind::DISKS, LIST,
             listing(uuid_, "hosts", "VirtualMachine", member(instance, "moid"),
                     member(instance, "zone")),
             error))
      return false;
  }
  if (!add(client, Kind::USERS, LIST, listing(uuid_, "recovery", "User", "", ""), error, &users))
    return false;
  for (const value& user :
       spread(std::vector<value>(users.as_array().begin(), users.as_array().end()), 8)) {
    for (const std::string& zone : zones) {
      if (!add(client, Kind::NETWORKS, LIST,
               listing(uuid_, "recovery", "Vxnet", member(user, "moid"), zone), error))
        return false;
    }
  }
  std::string zone_text = zones.empty() ? "" : zones[0];
  for (char& c : zone_text)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  const std::string name = instances.empty() ? "" : member(instances[0], "name");
  const std::pair<const char*, std::string> searches[] = {
      {"Zone", zone_text},
      {"HostSystem", "n0"},
      {"VirtualMachine", name.substr(0, 3)},
      {"VirtualMachine", "no-such-instance"},
  };
  for (const auto& [type, text] : searches) {
    const object params{
        {"uuid", uuid_}, {"subtype", "search"}, {"search_type", type}, {"search", text}};
    if (!add(client, Kind::SEARCH, LIST, params, error)) return false;
  }
  return add(client, Kind::LOGIN, "host.environments.test", object{{"uuid", uuid_}}, error);
}

std::size_t Catalogue::size() const {
  std::size_t n = 0;
  for (const auto& known : by_kind_)
    n += known.size();
  return n;
}

// Soak_Client ---------------------------------------------------------------

Soak_Client::Soak_Client(const Serve_Process& serve)
    : http_("127.0.0.1", serve.port()), token_{{"Authorization", "Bearer " + serve.token()}} {
  http_.set_keep_alive(true);
  http_.set_read_timeout(120, 0);
}

value Soak_Client::call(const std::string& body, std::string& error) {
  auto res = http_.Post("/rpc", token_, body, "application/json");
  if (!res || res->status != 200) {
    error = res ? "HTTP " + std::to_string(res->status) : httplib::to_string(res.error());
    return value();
  }
  boost::json::error_code ec;
  value answer = boost::json::parse(res->body, ec);
  if (ec) error = "an answer that is not JSON";
  return answer;
}

namespace {

// Counts one answer of `known` into `s`.
void judge(const value& answer, const Known_Request& known, Sample& s) {
  const object* o = answer.is_object() ? &answer.as_object() : nullptr;
  const value* error = o ? o->if_contains("error") : nullptr;
  const value* result = o ? o->if_contains("result") : nullptr;
  if (error && error->is_object() && error->as_object().contains("code")) {
    const value& code = error->as_object().at("code");
    (code.is_int64() && code.as_int64() == -32603 ? s.internal_errors : s.other_errors) += 1;
  } else if (result && *result == known.result) {
    s.right += 1;
  } else if (result && known.method == "host.environments.test" && result->is_object() &&
             result->as_object().contains("status") &&
             result->as_object().at("status") == value(false)) {
    s.internal_errors += 1;  // the login handler's way of telling a failure
  } else {
    s.wrong += 1;
  }
}

const Known_Request& pick(const Catalogue& catalogue, Kind kind, std::mt19937& random) {
  const std::vector<Known_Request>& known = catalogue.of(kind);
  return known[std::uniform_int_distribution<std::size_t>(0, known.size() - 1)(random)];
}

}  // namespace

Sample Soak_Client::send(const Catalogue& catalogue, Kind kind, std::mt19937& random) {
  std::vector<const Known_Request*> sent;
  if (kind == Kind::BATCH) {
    const int n = std::uniform_int_distribution<int>(2, 4)(random);
    for (int i = 0; i < n; ++i) {
      const Kind one = static_cast<Kind>(std::uniform_int_distribution<int>(0, KINDS - 2)(random));
      sent.push_back(&pick(catalogue, one, random));
    }
  } else {
    sent.push_back(&pick(catalogue, kind, random));
  }
  std::string body = kind == Kind::BATCH ? "[" : "";
  for (std::size_t i = 0; i < sent.size(); ++i)
    body += (i ? "," : "") + message(sent[i]->method, sent[i]->params, static_cast<int>(i) + 1);
  if (kind == Kind::BATCH) body += "]";

  Sample s;
  s.kind = kind;
  s.start = Clock::now();
  std::string error;
  const value answer = call(body, error);
  s.end = Clock::now();
  s.ms = std::chrono::duration<float, std::milli>(s.end - s.start).count();
  if (!error.empty()) {
    s.failed = 1;
    return s;
  }
  if (kind != Kind::BATCH) {
    judge(answer, *sent[0], s);
    return s;
  }
  // A batch's answers come in any order; each is found by its id.
  const array none;
  const array& answers = answer.is_array() ? answer.as_array() : none;
  for (std::size_t i = 0; i < sent.size(); ++i) {
    const value* one = nullptr;
    for (const value& a : answers) {
      if (a.is_object() && a.as_object().contains("id") &&
          a.as_object().at("id") == value(static_cast<int>(i) + 1))
        one = &a;
    }
    judge(one ? *one : value(), *sent[i], s);
  }
  return s;
}

// The tally -----------------------------------------------------------------

Tally tally(const std::vector<std::vector<Sample>>& samples, const std::vector<Window>& windows) {
  Tally t;
  for (const std::vector<Sample>& client : samples) {
    for (const Sample& s : client) {
      ++t.messages;
      t.ms[static_cast<int>(s.kind)].push_back(s.ms);
      const bool in_fault = std::any_of(windows.begin(), windows.end(), [&s](const Window& w) {
        return s.start < w.end && s.end > w.start;
      });
      if (in_fault) {
        t.internal_in_fault += s.internal_errors;
      } else {
        t.errors_without_fault += s.internal_errors + s.other_errors;
      }
      t.other_errors += s.other_errors;
      t.wrong += s.wrong;
      t.failed += s.failed;
    }
  }
  return t;
}

void report(Tally& t, double seconds, std::size_t faults) {
  figure("soak: requests answered (a batch counts once)", static_cast<double>(t.messages), "");
  figure("soak: requests per second", t.messages / seconds, "/s");
  for (int k = 0; k < KINDS; ++k) {
    std::vector<double>& ms = t.ms[k];
    if (ms.empty()) continue;
    std::sort(ms.begin(), ms.end());
    const std::string name = std::string("soak: ") + kind_name(static_cast<Kind>(k));
    figure(name + ", p50", ms[ms.size() / 2], "ms");
    figure(name + ", p99", ms[std::min(ms.size() - 1, ms.size() * 99 / 100)], "ms");
  }
  figure("soak: faults armed", static_cast<double>(faults), "");
  figure("soak: -32603 while a fault was armed", static_cast<double>(t.internal_in_fault), "");
  figure("soak: JSON-RPC errors with no fault armed", static_cast<double>(t.errors_without_fault),
         "", "== 0", t.errors_without_fault == 0);
  figure("soak: JSON-RPC errors other than -32603", static_cast<double>(t.other_errors), "", "== 0",
         t.other_errors == 0);
  figure("soak: wrong answers", static_cast<double>(t.wrong), "", "== 0", t.wrong == 0);
  figure("soak: messages without an HTTP answer", static_cast<double>(t.failed), "", "== 0",
         t.failed == 0);
}

}  // namespace bench
