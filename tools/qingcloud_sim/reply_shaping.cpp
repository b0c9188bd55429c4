#include "tools/qingcloud_sim/reply_shaping.h"

#include <boost/json/parse.hpp>
#include <boost/json/serialize.hpp>

namespace qingcloud_sim {
namespace {

// The member whose loss breaks a record of the set `set_key` for a client.
std::string key_member(const std::string& set_key) {
  if (set_key == "bot_set") return "host_machine";
  if (set_key == "job_set") return "status";
  return set_key.substr(0, set_key.size() - 4) + "_id";  // "instance_set" -> "instance_id"
}

// "instance_set", "zone_set", ...: the members that hold a page's records.
bool is_record_set(boost::json::string_view key) {
  return key.size() >= 5 && key.substr(key.size() - 4) == "_set";
}

void break_first_record(boost::json::object& reply) {
  if (boost::json::value* lease = reply.if_contains("lease_info")) {
    if (lease->is_object()) lease->get_object().stable_erase("status");
    return;
  }
  for (auto& member : reply) {
    const std::string key(member.key());
    if (!is_record_set(key)) continue;
    if (!member.value().is_array() || member.value().get_array().empty()) continue;
    boost::json::value& first = member.value().get_array().front();
    if (first.is_object()) first.get_object().stable_erase(key_member(key));
  }
}

}  // namespace

std::string shape_reply(std::string reply, const Chosen_Faults& chosen) {
  const bool drift = chosen.has(Fault_Kind::TOTAL_COUNT_DRIFT);
  const Fault* empty = chosen.find(Fault_Kind::EMPTY_PAGES);
  const bool malformed = chosen.has(Fault_Kind::MALFORMED_RECORD);
  const Fault* no_ret_code = chosen.find(Fault_Kind::NO_RET_CODE);
  if (!drift && !empty && !malformed && !no_ret_code) return reply;
  boost::json::error_code ec;
  boost::json::value parsed = boost::json::parse(reply, ec);
  if (ec || !parsed.is_object()) return reply;
  boost::json::object& object = parsed.get_object();
  if (drift) {
    boost::json::value* total = object.if_contains("total_count");
    if (total != nullptr && total->is_int64()) *total = total->get_int64() + 1;
  }
  if (empty != nullptr && object.contains("total_count")) {
    object["total_count"] = empty->total_count;
    for (auto& member : object) {
      if (is_record_set(member.key()) && member.value().is_array())
        member.value().get_array().clear();
    }
  }
  if (malformed) break_first_record(object);
  if (no_ret_code != nullptr) {
    object.stable_erase("ret_code");
    if (!no_ret_code->message.empty()) object["message"] = no_ret_code->message;
  }
  return boost::json::serialize(object);
}

}  // namespace qingcloud_sim
