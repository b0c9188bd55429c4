#include "testing/simulator.h"

#include "testing/canary.h"
#include "tools/qingcloud_sim/connections.h"

namespace testing_support {

Simulator& Simulator::shared() {
  static Simulator simulator;
  return simulator;
}

qingcloud_sim::Options Simulator::test_options() {
  qingcloud_sim::Options options;
  options.host = "127.0.0.1";
  options.port = 0;
  options.job_seconds = 0;
  options.lease_seconds = 0;
  return options;
}

Simulator::Simulator(qingcloud_sim::Options options,
                     qingcloud_sim::Simulator::Inventory_Source source)
    : server_(std::move(source), std::move(options)) {
  server_.start();
  // Every secret key of the platform, and every password it is sent, is a
  // secret no test output may show.
  const qingcloud_sim::Inventory inventory = server_.platform().inventory();
  for (const qingcloud_sim::Boss_Key& key : inventory.boss_keys)
    add_canary(key.secret_access_key);
  for (const qingcloud_sim::Record& key : inventory.access_keys)
    add_canary(std::string(key.text("secret_access_key")));
  canary_source_ = add_canary_source([this] {
    std::vector<std::string> passwords;
    for (const Recorded_Request& r : server_.stats().last_requests)
      if (r.action == "RunInstances") passwords.push_back(r.param("login_passwd"));
    return passwords;
  });
}

Simulator::~Simulator() {
  remove_canary_source(canary_source_);
}

std::uint64_t Simulator::requests(const std::string& action) const {
  return server_.stats().requests_of(action);
}

std::uint64_t Simulator::requests() const {
  return server_.stats().requests;
}

void Simulator::close_connections() {
  qingcloud_sim::shutdown_connections(port());
}

std::uint64_t Simulator::connections_accepted() const {
  return server_.stats().connections_accepted;
}

Simulator::Recorded_Request Simulator::last_request(const std::string& action) const {
  const qingcloud_sim::Stats stats = server_.stats();
  for (auto it = stats.last_requests.rbegin(); it != stats.last_requests.rend(); ++it)
    if (action.empty() || it->action == action) return *it;
  ADD_FAILURE() << "the simulator has no request" << (action.empty() ? "" : " of " + action);
  return Recorded_Request();
}

std::vector<Simulator::Recorded_Request> Simulator::requests_of(const std::string& action) const {
  std::vector<Recorded_Request> out;
  for (const Recorded_Request& r : server_.stats().last_requests)
    if (r.action == action) out.push_back(r);
  return out;
}

std::int64_t Simulator::now() const {
  return server_.clock().now();
}
std::int64_t Simulator::wall_now() const {
  return server_.clock().wall_now();
}

Sim_Client Simulator::client(const std::string& key_id, const std::string& secret) {
  Sim_Client client(host(), port(), server_.tls());
  client.use_key(key_id, secret);
  client.use_clock([this] { return server_.clock().wall_now(); });
  return client;
}

boost::json::object own_params(const Simulator::Recorded_Request& request) {
  boost::json::object params = request.params;
  for (const char* common : {"action", "version", "signature_version", "signature_method",
                             "access_key_id", "time_stamp", "signature", "offset", "limit"})
    params.erase(common);
  return params;
}

}  // namespace testing_support
