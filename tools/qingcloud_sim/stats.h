#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include <boost/json/object.hpp>

#include "tools/qingcloud_sim/wire_encoding.h"

namespace qingcloud_sim {

// One request to "/iaas/" or "/boss2/" as it went over the wire.
struct Recorded_Request {
  std::string method;  // "GET", "POST"
  std::string path;
  std::string action;          // "" when the request had none
  Param_List form;             // the decoded query or form pairs, in arrival order
  std::string query;           // the URL's query as it came, "" when none
  boost::json::object params;  // the call's parameters: GET pairs with "name.N"
                               // gathered into arrays, or the POST "params" JSON
  int http_status = 0;         // 0 when the connection was dropped
  int ret_code = -1;           // -1 when the answer had none

  // The text of a form pair, or "" when absent.
  std::string form_value(std::string_view name) const;
  // The text of a scalar parameter (a string, or an integer's decimal form),
  // or "" when absent.
  std::string param(std::string_view name) const;
  // The elements of a list parameter as texts (a scalar as one element).
  std::vector<std::string> param_list(std::string_view name) const;

  boost::json::object to_json() const;
};

// What the simulator has served since the last reset.
struct Stats {
  static constexpr std::size_t KEPT_REQUESTS = 100;

  std::uint64_t requests = 0;              // to "/iaas/" and "/boss2/"
  std::uint64_t connections_accepted = 0;  // TCP connections, all paths
  std::map<std::string, std::uint64_t> requests_by_action;
  std::deque<Recorded_Request> last_requests;  // oldest first, at most KEPT_REQUESTS

  std::uint64_t requests_of(const std::string& action) const;
  // The most recent request; null when none.
  const Recorded_Request* last() const;

  boost::json::object to_json() const;
};

// Counts and keeps requests; thread safe.  A request is recorded only when
// no reset came between its start (`epoch()` then) and its end, so a slow
// request of one test does not show in the next.
class Stats_Recorder {
 public:
  std::uint64_t epoch() const;
  void record(Recorded_Request request, std::uint64_t started_in_epoch);
  void connection_accepted();
  Stats snapshot() const;
  void reset();

 private:
  mutable std::mutex mutex_;
  Stats stats_;
  std::uint64_t epoch_ = 0;
};

}  // namespace qingcloud_sim
