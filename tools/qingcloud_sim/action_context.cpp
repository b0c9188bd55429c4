#include "tools/qingcloud_sim/action_context.h"

#include <boost/json/serialize.hpp>
#include <boost/json/string.hpp>

namespace qingcloud_sim {

std::string Action_Context::acting_owner() const {
  if (!call.caller.back_office) return call.caller.user_id;
  const std::string owner = params().text_or("owner", "");
  return owner.empty() ? std::string(SYSTEM_OWNER) : owner;
}

bool Action_Context::may_see(const std::string& owner, bool shared_with_all) const {
  if (call.caller.back_office) return true;
  return owner == call.caller.user_id || (shared_with_all && owner == SYSTEM_OWNER);
}

Record& Action_Context::instance(const std::string& id) const {
  Record* r = zone->instances.find(id);
  if (r == nullptr || !may_see(r->owner()) || r->text("status") == "ceased")
    throw resource_not_found(id);
  return *r;
}

Record& Action_Context::volume(const std::string& id) const {
  Record* r = zone->volumes.find(id);
  if (r == nullptr || !may_see(r->owner()) || r->text("status") == "deleted")
    throw resource_not_found(id);
  return *r;
}

void require_state(const Record& r, const char* kind, std::initializer_list<const char*> allowed,
                   const char* verb) {
  // The platform writes a full-width comma (U+FF0C) before the second clause.
  const char* const COMMA = "\xEF\xBC\x8C ";
  const std::string who = std::string(kind) + " [" + r.id() + "] is ";
  const std::string_view transition = r.text("transition_status");
  if (!transition.empty())
    throw permission_denied(who + std::string(transition) + COMMA + "please try later");
  const std::string_view status = r.text("status");
  for (const char* s : allowed)
    if (status == s) return;
  const std::string state =
      allowed.size() == 1 ? "not " + std::string(*allowed.begin()) : std::string(status);
  throw permission_denied(who + state + COMMA + "can not be " + verb);
}

std::string reply_text(const std::string& action,
                       const std::vector<std::pair<std::string, std::string>>& members) {
  std::string out = "{\"action\":";
  out += string_text(action + "Response");
  for (const auto& [name, value] : members) {
    out += ',';
    out += string_text(name);
    out += ':';
    out += value;
  }
  out += ",\"ret_code\":0}";
  return out;
}

std::string id_list_text(const std::vector<std::string>& ids) {
  boost::json::array array;
  for (const std::string& id : ids)
    array.emplace_back(id);
  return boost::json::serialize(array);
}

std::string string_text(const std::string& text) {
  return boost::json::serialize(boost::json::string(text));
}

}  // namespace qingcloud_sim
