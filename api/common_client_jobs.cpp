// Create calls, jobs and their polling.
#include <stdexcept>

#include "api/common_client.h"
#include "json/extract.h"
#include "support/countdown.h"
#include "support/log.h"

namespace qingcloud {

using json_spirit::Array;
using json_spirit::Value;

namespace {

// A create reply names its job as a string or as an array whose first element
// is the string.  False (and the kind logged) for any other kind; throws for
// an empty array or a first element that is not a string.
bool job_id_of(const Value& job_id, std::string& out) {
  if (job_id.type() == json_spirit::str_type) {
    out = job_id.get_str();
    return true;
  }
  if (job_id.type() == json_spirit::array_type) {
    const Array& ids = job_id.get_array();
    if (ids.empty()) throw std::out_of_range("array 'job_id' is empty");
    out = ids.front().get_str();
    return true;
  }
  QC_LOG_ERROR("Invalid job_id type, %d.\n", static_cast<int>(job_id.type()));
  return false;
}

}  // namespace

bool Common_Client::create_resources(const char* action, Object& params,
                                     Create_Resource_Handler handler) {
  if (action == nullptr || *action == '\0') {
    QC_LOG_UNEXPECTED("action is NULL or \"\"");
    return false;
  }
  build_params(params, action);
  Object reply;
  if (!sess_.send_request(method_, uri_, params, reply)) return false;
  return take_created(reply, handler);
}

bool Common_Client::take_created(Object& reply, const Create_Resource_Handler& handler) {
  const char* key = handler.key();
  const bool has_key = key != nullptr && *key != '\0';
  std::string job_id;
  const Value* created = nullptr;
  try {
    const Value* id = nullptr;
    extract_or_throw(reply)("job_id", id);
    if (!job_id_of(*id, job_id)) return false;
    if (has_key) extract_or_throw(reply)(key, created);
  } catch (const std::exception& e) {
    QC_LOG_ERROR("Invalid response format, exception: %s.\n", e.what());
    return false;
  }

  if (handler.job_id() != nullptr) {
    *handler.job_id() = job_id;
  } else if (!poll_job(job_id)) {
    return false;
  }
  return has_key ? handler(*created) : handler(Value(std::move(reply)));
}

bool Common_Client::execute_job(const char* action, Object& params, std::string* id) {
  if (action == nullptr || *action == '\0') {
    QC_LOG_UNEXPECTED("action is NULL or \"\"");
    return false;
  }
  build_params(params, action);
  Object reply;
  if (!sess_.send_request(method_, uri_, params, reply)) return false;

  std::string job_id;
  try {
    extract_or_throw(reply)("job_id", job_id);
  } catch (const std::exception& e) {
    QC_LOG_ERROR("Invalid response format, exception: %s.\n", e.what());
    return false;
  }
  if (id != nullptr) {
    *id = std::move(job_id);
    return true;
  }
  return poll_job(job_id);
}

Job_Status Common_Client::job_status(Object& params) {
  Job_Status status = RUNNING;
  bool ok = describe_resources(
      "DescribeJobs", params, Describe_Resource_Handler("job_set", [&status](const Value& jobs) {
        try {
          const Array& job_set = jobs.get_array();
          if (job_set.empty()) throw std::out_of_range("array 'job_set' is empty");
          const std::string& state =
              json_spirit::object_get_str_or_throw(job_set.front().get_obj(), "status");
          if (state == "successful") {
            status = SUCCEEDED;
          } else if (state == "failed") {
            status = FAILED;
          }
          return true;
        } catch (const std::exception& e) {
          QC_LOG_ERROR("Invalid job format, exception: %s.\n", e.what());
          return false;
        }
      }));
  if (ok) return status;
  QC_LOG_ERROR("Failed to describe jobs.\n");
  return FAILED;
}

bool Common_Client::poll_job(const std::string& job_id) {
  if (!zone_) {
    QC_LOG_UNEXPECTED("zone_ is NULL");
    return false;
  }
  if (job_id.empty()) {
    QC_LOG_UNEXPECTED("job_id is empty");
    return false;
  }
  Object params;
  params["jobs"] = Array{job_id};
  params["zone"] = *zone_;

  Job_Status status = RUNNING;
  for (const auto& tick :
       countdown(POLL_TIMEOUT, POLL_INITIAL_INTERVAL, POLL_MAX_NOTIFY_INTERVAL, false)) {
    (void)tick;
    status = job_status(params);
    if (status != RUNNING) break;
  }
  if (status != SUCCEEDED) {
    QC_LOG_ERROR("Failed to poll job '%s'.\n", job_id.c_str());
    return false;
  }
  return true;
}

}  // namespace qingcloud
