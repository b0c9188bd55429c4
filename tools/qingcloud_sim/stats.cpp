#include "tools/qingcloud_sim/stats.h"

#include "tools/qingcloud_sim/params.h"

namespace qingcloud_sim {

std::string Recorded_Request::form_value(std::string_view name) const {
  for (const auto& [n, v] : form)
    if (n == name) return v;
  return std::string();
}

std::string Recorded_Request::param(std::string_view name) const {
  try {
    return Params(params).text_or(name, "");
  } catch (const std::exception&) {
    return std::string();
  }
}

std::vector<std::string> Recorded_Request::param_list(std::string_view name) const {
  try {
    return Params(params).list(name);
  } catch (const std::exception&) {
    return {};
  }
}

boost::json::object Recorded_Request::to_json() const {
  boost::json::array pairs;
  for (const auto& [n, v] : form)
    pairs.push_back(boost::json::array{n, v});
  return boost::json::object{{"method", method},
                             {"path", path},
                             {"query", query},
                             {"action", action},
                             {"form", std::move(pairs)},
                             {"params", params},
                             {"http_status", http_status},
                             {"ret_code", ret_code}};
}

std::uint64_t Stats::requests_of(const std::string& action) const {
  auto it = requests_by_action.find(action);
  return it == requests_by_action.end() ? 0 : it->second;
}

const Recorded_Request* Stats::last() const {
  return last_requests.empty() ? nullptr : &last_requests.back();
}

boost::json::object Stats::to_json() const {
  boost::json::object by_action;
  for (const auto& [action, n] : requests_by_action)
    by_action[action] = n;
  boost::json::array last;
  for (const Recorded_Request& r : last_requests)
    last.push_back(r.to_json());
  return boost::json::object{{"requests", requests},
                             {"connections_accepted", connections_accepted},
                             {"requests_by_action", std::move(by_action)},
                             {"last_requests", std::move(last)}};
}

std::uint64_t Stats_Recorder::epoch() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return epoch_;
}

void Stats_Recorder::record(Recorded_Request request, std::uint64_t started_in_epoch) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (started_in_epoch != epoch_) return;
  ++stats_.requests;
  ++stats_.requests_by_action[request.action];
  stats_.last_requests.push_back(std::move(request));
  if (stats_.last_requests.size() > Stats::KEPT_REQUESTS) stats_.last_requests.pop_front();
}

void Stats_Recorder::connection_accepted() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++stats_.connections_accepted;
}

Stats Stats_Recorder::snapshot() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return stats_;
}

void Stats_Recorder::reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  stats_ = Stats();
  ++epoch_;
}

}  // namespace qingcloud_sim
