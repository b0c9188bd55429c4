#include "testing/sim_client.h"

#include <ctime>
#include <signal.h>

#include <boost/json/parse.hpp>
#include <boost/json/serialize.hpp>
#include <httplib.h>

namespace testing_support {
namespace {

Sim_Reply to_reply(const httplib::Result& result) {
  Sim_Reply reply;
  if (!result) return reply;
  reply.status = result->status;
  reply.body = result->body;
  boost::json::error_code ec;
  boost::json::value json = boost::json::parse(reply.body, ec);
  if (!ec) reply.json = std::move(json);
  return reply;
}

const boost::json::value* member(const boost::json::value& json, const char* key) {
  return json.is_object() ? json.get_object().if_contains(key) : nullptr;
}

}  // namespace

std::int64_t Sim_Reply::ret_code() const {
  const boost::json::value* v = member(json, "ret_code");
  return v != nullptr && v->is_int64() ? v->get_int64() : -1;
}

std::string Sim_Reply::message() const {
  const boost::json::value* v = member(json, "message");
  return v != nullptr && v->is_string() ? std::string(v->get_string()) : std::string();
}

std::int64_t Sim_Reply::total_count() const {
  const boost::json::value* v = member(json, "total_count");
  return v != nullptr && v->is_int64() ? v->get_int64() : -1;
}

std::vector<std::string> Sim_Reply::ids(const char* set_key, const char* id_key) const {
  std::vector<std::string> out;
  const boost::json::value* set = member(json, set_key);
  if (set == nullptr || !set->is_array()) return out;
  for (const boost::json::value& record : set->get_array()) {
    const boost::json::value* id = member(record, id_key);
    out.push_back(id != nullptr && id->is_string() ? std::string(id->get_string()) : "?");
  }
  return out;
}

Sim_Client::Sim_Client(const std::string& host, int port, bool tls) {
  // A test must survive writing to a connection the simulator has ended.
  signal(SIGPIPE, SIG_IGN);
  http_ = std::make_unique<httplib::Client>((tls ? "https://" : "http://") + host + ":" +
                                            std::to_string(port));
  http_->set_keep_alive(true);
  http_->set_tcp_nodelay(true);
  http_->set_url_encode(false);  // targets go out byte for byte
  http_->set_read_timeout(20);
  if (tls) http_->enable_server_certificate_verification(false);
}

Sim_Client::~Sim_Client() = default;
Sim_Client::Sim_Client(Sim_Client&&) noexcept = default;
Sim_Client& Sim_Client::operator=(Sim_Client&&) noexcept = default;

void Sim_Client::use_key(std::string access_key_id, std::string secret) {
  access_key_id_ = std::move(access_key_id);
  secret_ = std::move(secret);
}

std::string Sim_Client::time_stamp() const {
  const std::time_t now = now_ ? static_cast<std::time_t>(now_()) : std::time(nullptr);
  std::tm tm{};
  gmtime_r(&now, &tm);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return text;
}

Pairs Sim_Client::iaas_pairs(const std::string& action, Pairs params) const {
  Pairs pairs = {{"access_key_id", access_key_id_},  {"action", action},
                 {"signature_method", "HmacSHA256"}, {"signature_version", "1"},
                 {"time_stamp", time_stamp()},       {"version", "1"}};
  pairs.insert(pairs.end(), params.begin(), params.end());
  return pairs;
}

Pairs Sim_Client::boss2_pairs(const std::string& action, boost::json::object params) const {
  params["action"] = action;
  params["version"] = 1;
  params["signature_version"] = 1;
  params["signature_method"] = "HmacSHA256";
  return {{"access_key_id", access_key_id_},
          {"action", action},
          {"params", boost::json::serialize(params)},
          {"time_stamp", time_stamp()}};
}

Sim_Reply Sim_Client::iaas(const std::string& action, Pairs params) {
  return get("/iaas/?" +
             signed_query("GET", "/iaas/", iaas_pairs(action, std::move(params)), secret_));
}

Sim_Reply Sim_Client::boss2(const std::string& action, boost::json::object params) {
  return post("/boss2/",
              signed_query("POST", "/boss2/", boss2_pairs(action, std::move(params)), secret_));
}

void Sim_Client::set_read_timeout_ms(int milliseconds) {
  http_->set_read_timeout(milliseconds / 1000, (milliseconds % 1000) * 1000);
}

Sim_Reply Sim_Client::get(const std::string& target) {
  return to_reply(http_->Get(target.c_str()));
}

Sim_Reply Sim_Client::post(const std::string& path, const std::string& body,
                           const std::string& content_type) {
  return to_reply(http_->Post(path.c_str(), body, content_type.c_str()));
}

}  // namespace testing_support
