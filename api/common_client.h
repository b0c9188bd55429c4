#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include <boost/optional.hpp>

#include "api/qingcloud_image.h"
#include "api/qingcloud_session.h"
#include "api/resource_handler.h"
#include "host/json_spirit/value.h"
#include "support/secure_string.h"

namespace qingcloud {

// State of a platform job as the client sees it.
enum Job_Status {
  RUNNING = 0,    // not ended, or in a state other than the two below
  SUCCEEDED = 1,  // "successful"
  FAILED = 2,     // "failed", or its state could not be learned
};

// The base of the back-office and infrastructure clients: owns the session,
// adds the common parameters, logs in, learns the zones and keeps the zone in
// which zone-bound calls are made; offers paged describe, create and job calls.
//
// A client belongs to one request on one thread.
class Common_Client {
 public:
  using Object = json_spirit::Object;
  using opt_ref = boost::optional<const std::string&>;

  static constexpr int DEFAULT_LIMITS = 100;           // records per page
  static constexpr int POLL_TIMEOUT = 360;             // seconds of waiting for a job
  static constexpr int POLL_INITIAL_INTERVAL = 1;      // first wait, seconds
  static constexpr int POLL_MAX_NOTIFY_INTERVAL = 60;  // longest wait, seconds
  // The most records a describe call believes a platform holds: a larger
  // "total_count" is a broken or hostile reply, whose paging would pin the
  // calling thread and grow its memory without end.
  static constexpr std::int64_t MAX_TOTAL_COUNT = 10'000'000;

  // `uri` has static lifetime.
  Common_Client(int method, const char* uri, std::string version);
  virtual ~Common_Client();

  Common_Client(const Common_Client&) = delete;
  Common_Client& operator=(const Common_Client&) = delete;

  const std::string& version() const noexcept { return version_; }
  // Outcome of the last call: 0 success, -1 internal, -2 network, else the
  // platform's "ret_code" with its "message" in api_err_msg.
  int err_code() const noexcept { return sess_.err_code(); }
  const std::string& api_err_msg() const noexcept { return sess_.api_err_msg(); }
  // Whether the last call changed resources, or meant to, and failed after
  // it was sent: the platform may have carried it out.
  bool outcome_unknown() const noexcept { return sess_.outcome_unknown(); }

  opt_ref zone() const noexcept { return zone_; }
  const std::set<std::string>& zones() const noexcept { return zones_; }
  // Makes a zone that login learned the current one; false (and the current
  // zone unchanged) for an unknown zone.
  bool switch_zone(const std::string& zone);

  // Connects the session and loads the zones with "DescribeZones".  No zone is
  // current afterwards.  True when that worked and the platform has zones.
  bool login(const std::string& host, std::uint16_t port, bool ssl, secure_string access_key_id,
             secure_string secret_access_key);

  // Sends `action` page by page ("offset" 0, 100, ...) until "total_count"
  // records were asked for, handing each page to `handler`.  A total above
  // MAX_TOTAL_COUNT, or a page without records short of the total, fails the
  // call as an invalid reply (error number -1).
  bool describe_resources(const char* action, Object& params, Describe_Resource_Handler handler);

  // Images of the current zone (or of the "zone" in `params`), appended to
  // `images`; by id (an empty list asks nothing and succeeds) or by search
  // word, both among the available images only.
  bool describe_images(Object& params, Images& images);
  bool describe_images_by_ids(const std::vector<std::string>& ids, Images& images);
  bool search_images(const std::string& search_word, Images& images);

  // Sends a create action, takes its job id, waits for the job unless the
  // handler carries a job id pointer, and hands the reply member to it.
  bool create_resources(const char* action, Object& params, Create_Resource_Handler handler);
  // Sends an action that answers a job id; leaves the id in `*id`, or waits
  // for the job when `id` is null.
  bool execute_job(const char* action, Object& params, std::string* id);
  // The state of the job that `params` names ("jobs" and "zone").
  Job_Status job_status(Object& params);
  // Waits, within the polling budget, for a job of the current zone to end.
  bool poll_job(const std::string& job_id);

 protected:
  // Sets "action" (unless empty), "version" 1, "signature_version" 1 and
  // "signature_method" "HmacSHA256".
  static void build_params(Object& params, const char* action);
  // The part of create_resources after the request: takes the job id from
  // `reply`, waits for the job unless the handler takes the id, and hands
  // the handler its member.
  bool take_created(Object& reply, const Create_Resource_Handler& handler);
  // Adds the current zone as "zone" unless `params` names one already.
  bool insert_zone_if_not_exists(Object& params);
  bool describe_zones();

  int method_;
  const char* uri_;
  std::string version_;
  QingCloud_Session sess_;
  opt_ref zone_;
  std::set<std::string> zones_;
};

}  // namespace qingcloud
