#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <boost/json/object.hpp>

namespace qingcloud_sim {

// The faults the simulator can inject, each for the next N matching requests
// to "/iaas/" or "/boss2/" (of one action, or of any).
enum class Fault_Kind {
  HTTP_STATUS,         // answers with HTTP `status`, with `body` or with no body at all
  NOT_JSON,            // answers HTTP 200 with `body`, which is not JSON
  NO_RET_CODE,         // serves the request but leaves "ret_code" out (adds a non-empty `message`)
  RET_CODE,            // answers {"ret_code": `code`, "message": `message`} (none when empty)
  DELAY,               // waits `delay_ms` before serving the request
  DROP_CONNECTION,     // closes the connection without answering
  TOTAL_COUNT_DRIFT,   // a later page (offset > 0) reports one record more than exist
  EMPTY_PAGES,         // every page reports `total_count` records and holds none
  MALFORMED_RECORD,    // the reply's first record (or lease) lacks the member clients read
  JOB_FAILS,           // jobs started by the request end "failed"
  LEASE_NEVER_ACTIVE,  // leases ordered or queried by the request never become active
};

// "http_status", "not_json", "no_ret_code", "ret_code", "delay",
// "drop_connection", "total_count_drift", "empty_pages", "malformed_record",
// "job_fails", "lease_never_active".
const char* fault_name(Fault_Kind kind);
bool parse_fault_kind(std::string_view name, Fault_Kind* kind);
// The one-line documentation above.
const char* fault_doc(Fault_Kind kind);

// One armed fault.  Built fluently:
//   Fault::http_status(404, "no such page").on("DescribeZones").times(2)
struct Fault {
  Fault_Kind kind = Fault_Kind::HTTP_STATUS;
  std::string action;  // empty: requests of any action
  int count = 1;       // matching requests still to affect; -1: until cleared
  int status = 500;
  std::optional<std::string> body;
  int code = 5000;
  std::string message;
  int delay_ms = 0;
  std::int64_t total_count = 2000000000;

  static Fault http_status(int status, std::optional<std::string> body = std::nullopt);
  static Fault not_json(std::string body = "<html><body>502 Bad Gateway</body></html>");
  static Fault no_ret_code(std::string message = std::string());
  static Fault ret_code(int code, std::string message);
  static Fault delay(int milliseconds);
  static Fault drop_connection();
  static Fault total_count_drift();
  static Fault empty_pages(std::int64_t total_count = 2000000000);
  static Fault malformed_record();
  static Fault job_fails();
  static Fault lease_never_active();

  Fault& on(std::string action_name) {
    action = std::move(action_name);
    return *this;
  }
  Fault& times(int n) {
    count = n;
    return *this;
  }
  Fault& forever() { return times(-1); }

  // {"fault": <name>, "action", "times", "status", "body", "ret_code",
  //  "message", "delay_ms", "total_count"}; only "fault" is required.  Throws
  // std::invalid_argument on an unknown name or a member of the wrong kind.
  static Fault from_json(const boost::json::object& json);
  boost::json::object to_json() const;
};

// What a request is, as far as faults care.
struct Request_Traits {
  bool later_page = false;     // a describe call with "offset" > 0
  bool has_records = false;    // a describe call or a lease query
  bool starts_job = false;     // an action that starts a job
  bool touches_lease = false;  // an action that orders or queries a lease
};

Request_Traits traits_of(const std::string& action, long long offset);

// The faults chosen for one request.
struct Chosen_Faults {
  int delay_ms = 0;             // sum of the matching delays
  std::optional<Fault> answer;  // a fault that replaces the answer
  std::vector<Fault> others;    // faults that shape the served answer
  bool has(Fault_Kind kind) const { return find(kind) != nullptr; }
  const Fault* find(Fault_Kind kind) const;
  std::vector<Fault_Kind> kinds() const;
};

// The armed faults, in the order armed.  Thread safe.
class Fault_Table {
 public:
  void add(Fault fault);
  void clear();
  std::vector<Fault> armed() const;

  // Picks the faults for a request of `action` and uses them up: every
  // matching delay, then the first fault that replaces the answer; only when
  // there is none, every fault that shapes the served answer.
  Chosen_Faults take(const std::string& action, const Request_Traits& traits);

 private:
  mutable std::mutex mutex_;
  std::vector<Fault> faults_;
};

}  // namespace qingcloud_sim
