#include "api/common_client.h"

#include "json/extract.h"
#include "support/log.h"

namespace qingcloud {

using json_spirit::Array;
using json_spirit::Value;

Common_Client::Common_Client(int method, const char* uri, std::string version)
    : method_(method), uri_(uri), version_(std::move(version)) {}

Common_Client::~Common_Client() = default;

void Common_Client::build_params(Object& params, const char* action) {
  if (action != nullptr && *action != '\0') params["action"] = action;
  params["version"] = 1;
  params["signature_version"] = 1;
  params["signature_method"] = "HmacSHA256";
}

bool Common_Client::insert_zone_if_not_exists(Object& params) {
  if (params.count("zone") != 0) return true;
  if (!zone_) {
    QC_LOG_UNEXPECTED("zone_ is NULL");
    return false;
  }
  params["zone"] = *zone_;
  return true;
}

bool Common_Client::switch_zone(const std::string& zone) {
  auto it = zones_.find(zone);
  if (it == zones_.end()) return false;
  // Set elements never move, so the reference stays valid for the client's life.
  zone_ = *it;
  return true;
}

bool Common_Client::login(const std::string& host, std::uint16_t port, bool ssl,
                          secure_string access_key_id, secure_string secret_access_key) {
  zone_ = boost::none;
  if (!sess_.connect(host, port, ssl, std::move(access_key_id), std::move(secret_access_key)) ||
      !describe_zones()) {
    return false;
  }
  if (zones_.empty()) {
    // The call itself succeeded, so nothing else has said why the login fails.
    QC_LOG_ERROR("No active zone found.\n");
    return false;
  }
  return true;
}

bool Common_Client::describe_zones() {
  Object params;
  params["status"] = Array{"active"};
  return describe_resources(
      "DescribeZones", params, Describe_Resource_Handler("zone_set", [this](const Value& zone_set) {
        try {
          for (const Value& zone : zone_set.get_array()) {
            zones_.insert(json_spirit::object_get_str_or_throw(zone.get_obj(), "zone_id"));
          }
          return true;
        } catch (const std::exception& e) {
          QC_LOG_ERROR("Invalid zone format, exception: %s.\n", e.what());
          return false;
        }
      }));
}

bool Common_Client::describe_resources(const char* action, Object& params,
                                       Describe_Resource_Handler handler) {
  if (action == nullptr || *action == '\0') {
    QC_LOG_UNEXPECTED("action is NULL or \"\"");
    return false;
  }
  build_params(params, action);
  const char* key = handler.key();
  const bool has_key = key != nullptr && *key != '\0';

  // Counted in 64 bits: a "total_count" near the top of the 32-bit range must
  // end the loop, not overflow it.
  std::int64_t total = 0;
  std::int64_t count = 0;
  params["offset"] = 0;
  params["limit"] = DEFAULT_LIMITS;
  for (;;) {
    Object reply;
    if (!sess_.send_request(method_, uri_, params, reply)) return false;

    std::int64_t new_total = 0;
    const Value* records = nullptr;
    try {
      extract_or_throw(reply)("total_count", new_total);
      if (has_key) extract_or_throw(reply)(key, records);
    } catch (const std::exception& e) {
      QC_LOG_ERROR("Invalid response format, exception: %s.\n", e.what());
      return false;
    }
    if (total != 0 && new_total != total) {
      QC_LOG_ERROR("Number of resource changed, expected '%q', actual '%q'.\n", total, new_total);
      return false;
    }
    if (total == 0 && new_total > MAX_TOTAL_COUNT) {
      QC_LOG_ERROR(
          "Invalid response format, '%s' reports total_count '%q', more than the '%q' records "
          "a platform holds.\n",
          action, new_total, MAX_TOTAL_COUNT);
      sess_.invalid_reply();
      return false;
    }
    if (total == 0 && new_total != 0) handler.expect_total(new_total);
    total = new_total;
    if (total == 0) return true;
    // Every page is asked for below the total, so a page without records can
    // only come from a reply that will never reach it.
    if (records != nullptr && records->type() == json_spirit::array_type &&
        records->get_array().empty()) {
      QC_LOG_ERROR(
          "Invalid response format, '%s' returned no records at offset '%q' of total_count "
          "'%q'.\n",
          action, count, total);
      sess_.invalid_reply();
      return false;
    }

    if (!(has_key ? handler(*records) : handler(Value(std::move(reply))))) return false;

    count += params["limit"].get_int64();
    params["offset"] = count;
    if (count >= total) return true;
  }
}

}  // namespace qingcloud
