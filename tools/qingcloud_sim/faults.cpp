#include "tools/qingcloud_sim/faults.h"

#include <stdexcept>

namespace qingcloud_sim {
namespace {

struct Fault_Info {
  Fault_Kind kind;
  const char* name;
  const char* doc;
  bool replaces_answer;
};

const Fault_Info FAULTS[] = {
    {Fault_Kind::HTTP_STATUS, "http_status",
     "answers with HTTP `status`, with `body` or with no body at all", true},
    {Fault_Kind::NOT_JSON, "not_json", "answers HTTP 200 with `body`, which is not JSON", true},
    {Fault_Kind::NO_RET_CODE, "no_ret_code",
     "serves the request but leaves \"ret_code\" out (adds a non-empty `message`)", false},
    {Fault_Kind::RET_CODE, "ret_code",
     "answers {\"ret_code\": `code`, \"message\": `message`} (none when empty)", true},
    {Fault_Kind::DELAY, "delay", "waits `delay_ms` before serving the request", false},
    {Fault_Kind::DROP_CONNECTION, "drop_connection", "closes the connection without answering",
     true},
    {Fault_Kind::TOTAL_COUNT_DRIFT, "total_count_drift",
     "a later page (offset > 0) reports one record more than exist", false},
    {Fault_Kind::EMPTY_PAGES, "empty_pages",
     "every page reports `total_count` records and holds none", false},
    {Fault_Kind::MALFORMED_RECORD, "malformed_record",
     "the reply's first record (or lease) lacks the member clients read", false},
    {Fault_Kind::JOB_FAILS, "job_fails", "jobs started by the request end \"failed\"", false},
    {Fault_Kind::LEASE_NEVER_ACTIVE, "lease_never_active",
     "leases ordered or queried by the request never become active", false},
};

const Fault_Info& info(Fault_Kind kind) {
  for (const Fault_Info& f : FAULTS)
    if (f.kind == kind) return f;
  return FAULTS[0];
}

bool applies(const Fault& f, const std::string& action, const Request_Traits& t) {
  if (!f.action.empty() && f.action != action) return false;
  switch (f.kind) {
    case Fault_Kind::TOTAL_COUNT_DRIFT:
      return t.later_page;
    case Fault_Kind::EMPTY_PAGES:
    case Fault_Kind::MALFORMED_RECORD:
      return t.has_records;
    case Fault_Kind::JOB_FAILS:
      return t.starts_job;
    case Fault_Kind::LEASE_NEVER_ACTIVE:
      return t.touches_lease;
    default:
      return true;
  }
}

Fault make(Fault_Kind kind) {
  Fault f;
  f.kind = kind;
  return f;
}

const boost::json::value* member(const boost::json::object& json, const char* key) {
  return json.if_contains(key);
}

int int_member(const boost::json::object& json, const char* key, int fallback) {
  const boost::json::value* v = member(json, key);
  if (v == nullptr) return fallback;
  if (!v->is_int64()) throw std::invalid_argument(std::string("\"") + key + "\" is not an integer");
  return static_cast<int>(v->get_int64());
}

std::string text_member(const boost::json::object& json, const char* key) {
  const boost::json::value* v = member(json, key);
  if (v == nullptr) return std::string();
  if (!v->is_string()) throw std::invalid_argument(std::string("\"") + key + "\" is not a string");
  return std::string(v->get_string());
}

}  // namespace

const char* fault_name(Fault_Kind kind) {
  return info(kind).name;
}
const char* fault_doc(Fault_Kind kind) {
  return info(kind).doc;
}

bool parse_fault_kind(std::string_view name, Fault_Kind* kind) {
  for (const Fault_Info& f : FAULTS) {
    if (name == f.name) {
      *kind = f.kind;
      return true;
    }
  }
  return false;
}

Fault Fault::http_status(int status, std::optional<std::string> body) {
  Fault f = make(Fault_Kind::HTTP_STATUS);
  f.status = status;
  f.body = std::move(body);
  return f;
}

Fault Fault::not_json(std::string body) {
  Fault f = make(Fault_Kind::NOT_JSON);
  f.status = 200;
  f.body = std::move(body);
  return f;
}

Fault Fault::no_ret_code(std::string message) {
  Fault f = make(Fault_Kind::NO_RET_CODE);
  f.message = std::move(message);
  return f;
}

Fault Fault::ret_code(int code, std::string message) {
  Fault f = make(Fault_Kind::RET_CODE);
  f.code = code;
  f.message = std::move(message);
  return f;
}

Fault Fault::delay(int milliseconds) {
  Fault f = make(Fault_Kind::DELAY);
  f.delay_ms = milliseconds;
  return f;
}

Fault Fault::drop_connection() {
  return make(Fault_Kind::DROP_CONNECTION);
}
Fault Fault::total_count_drift() {
  return make(Fault_Kind::TOTAL_COUNT_DRIFT);
}
Fault Fault::empty_pages(std::int64_t total_count) {
  Fault f = make(Fault_Kind::EMPTY_PAGES);
  f.total_count = total_count;
  return f;
}
Fault Fault::malformed_record() {
  return make(Fault_Kind::MALFORMED_RECORD);
}
Fault Fault::job_fails() {
  return make(Fault_Kind::JOB_FAILS);
}
Fault Fault::lease_never_active() {
  return make(Fault_Kind::LEASE_NEVER_ACTIVE);
}

Fault Fault::from_json(const boost::json::object& json) {
  Fault f;
  const std::string name = text_member(json, "fault");
  if (!parse_fault_kind(name, &f.kind)) throw std::invalid_argument("unknown fault '" + name + "'");
  if (f.kind == Fault_Kind::NOT_JSON) f = not_json();
  f.action = text_member(json, "action");
  f.count = int_member(json, "times", 1);
  f.status = int_member(json, "status", f.status);
  f.code = int_member(json, "ret_code", f.code);
  f.message = text_member(json, "message");
  f.delay_ms = int_member(json, "delay_ms", 0);
  if (const boost::json::value* total = member(json, "total_count")) {
    if (!total->is_int64() || total->get_int64() < 0)
      throw std::invalid_argument("\"total_count\" is not a count");
    f.total_count = total->get_int64();
  }
  if (const boost::json::value* body = member(json, "body")) {
    if (body->is_string())
      f.body = std::string(body->get_string());
    else if (!body->is_null())
      throw std::invalid_argument("\"body\" is not a string");
  }
  if (f.count == 0 || f.count < -1) throw std::invalid_argument("\"times\" must be -1 or positive");
  if (f.status < 100 || f.status > 599)
    throw std::invalid_argument("\"status\" is not an HTTP status");
  if (f.delay_ms < 0 || f.delay_ms > 600000)
    throw std::invalid_argument("\"delay_ms\" is out of range");
  return f;
}

boost::json::object Fault::to_json() const {
  boost::json::object json{{"fault", fault_name(kind)}, {"action", action}, {"times", count}};
  switch (kind) {
    case Fault_Kind::HTTP_STATUS:
    case Fault_Kind::NOT_JSON:
      json["status"] = status;
      if (body)
        json["body"] = *body;
      else
        json["body"] = nullptr;
      break;
    case Fault_Kind::RET_CODE:
      json["ret_code"] = code;
      json["message"] = message;
      break;
    case Fault_Kind::NO_RET_CODE:
      json["message"] = message;
      break;
    case Fault_Kind::DELAY:
      json["delay_ms"] = delay_ms;
      break;
    case Fault_Kind::EMPTY_PAGES:
      json["total_count"] = total_count;
      break;
    default:
      break;
  }
  return json;
}

Request_Traits traits_of(const std::string& action, long long offset) {
  Request_Traits t;
  const bool describe = action.rfind("Describe", 0) == 0 || action.rfind("Boss2", 0) == 0;
  t.later_page = describe && offset > 0;
  t.has_records = describe || action == "GetLeaseInfo";
  static const char* const JOB_ACTIONS[] = {
      "RunInstances",     "StartInstances", "StopInstances", "TerminateInstances",
      "MigrateInstances", "CreateVolumes",  "DeleteVolumes", "CreateSnapshots"};
  for (const char* a : JOB_ACTIONS)
    t.starts_job = t.starts_job || action == a;
  t.touches_lease = action == "GetLeaseInfo" || action == "RunInstances" ||
                    action == "CreateVolumes" || action == "CreateSnapshots";
  return t;
}

const Fault* Chosen_Faults::find(Fault_Kind kind) const {
  for (const Fault& f : others)
    if (f.kind == kind) return &f;
  return nullptr;
}

std::vector<Fault_Kind> Chosen_Faults::kinds() const {
  std::vector<Fault_Kind> out;
  for (const Fault& f : others)
    out.push_back(f.kind);
  return out;
}

void Fault_Table::add(Fault fault) {
  std::lock_guard<std::mutex> lock(mutex_);
  faults_.push_back(std::move(fault));
}

void Fault_Table::clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  faults_.clear();
}

std::vector<Fault> Fault_Table::armed() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return faults_;
}

Chosen_Faults Fault_Table::take(const std::string& action, const Request_Traits& traits) {
  std::lock_guard<std::mutex> lock(mutex_);
  Chosen_Faults chosen;
  std::vector<bool> used(faults_.size(), false);
  for (std::size_t i = 0; i < faults_.size(); ++i) {
    const Fault& f = faults_[i];
    if (f.kind == Fault_Kind::DELAY && applies(f, action, traits)) {
      chosen.delay_ms += f.delay_ms;
      used[i] = true;
    }
  }
  for (std::size_t i = 0; i < faults_.size() && !chosen.answer; ++i) {
    const Fault& f = faults_[i];
    if (info(f.kind).replaces_answer && applies(f, action, traits)) {
      chosen.answer = f;
      used[i] = true;
    }
  }
  for (std::size_t i = 0; i < faults_.size() && !chosen.answer; ++i) {
    const Fault& f = faults_[i];
    if (f.kind != Fault_Kind::DELAY && !info(f.kind).replaces_answer &&
        applies(f, action, traits)) {
      chosen.others.push_back(f);
      used[i] = true;
    }
  }
  std::vector<Fault> kept;
  for (std::size_t i = 0; i < faults_.size(); ++i) {
    Fault& f = faults_[i];
    if (used[i] && f.count > 0 && --f.count == 0) continue;
    kept.push_back(std::move(f));
  }
  faults_ = std::move(kept);
  return chosen;
}

}  // namespace qingcloud_sim
