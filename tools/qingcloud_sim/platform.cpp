#include "tools/qingcloud_sim/platform.h"

#include "tools/qingcloud_sim/actions.h"
#include "tools/qingcloud_sim/jobs.h"

namespace qingcloud_sim {

Platform::Platform(Inventory inventory, const Sim_Clock& clock)
    : inventory_(std::move(inventory)), clock_(clock) {}

bool Platform::find_key(std::string_view access_key_id, Key_Info* key) const {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const Boss_Key& k : inventory_.boss_keys) {
    if (k.access_key_id == access_key_id) {
      *key = Key_Info{k.secret_access_key, true, std::string()};
      return true;
    }
  }
  const Record* k = inventory_.access_keys.find(access_key_id);
  if (k == nullptr || k->text("status") != "active") return false;
  const Record* user = inventory_.users.find(k->owner());
  if (user == nullptr || user->text("status") != "active") return false;
  *key = Key_Info{std::string(k->text("secret_access_key")), false, k->owner()};
  return true;
}

std::string Platform::call(const Api_Call& call, const Call_Effects& effects) {
  const Action_Entry* entry = find_action(call.action);
  if (entry == nullptr)
    throw Api_Error(RET_INVALID_ACTION,
                    "InvalidAction, the action [" + call.action + "] is not supported");
  if (entry->back_office_only && !call.caller.back_office)
    throw permission_denied("the action [" + call.action + "] needs a back-office access key");

  std::lock_guard<std::mutex> lock(mutex_);
  const std::int64_t now = clock_.now();
  settle_jobs(inventory_, state_, now);
  Zone* zone = nullptr;
  if (entry->zone_bound) {
    const std::string zone_id = call.params.required_text("zone");
    zone = inventory_.zone(zone_id);
    if (zone == nullptr) throw invalid_parameter("zone", "[" + zone_id + "] is not a known zone");
  }
  // Whatever an action changed, also on its way out with an error, ends the
  // validity of cached matches.
  struct Change_Mark {
    Platform_State& state;
    bool changes;
    ~Change_Mark() {
      if (changes) state.changed();
    }
  } mark{state_, !entry->read_only};
  Action_Context ctx{inventory_, state_, call, effects, zone, now};
  return entry->handle(ctx);
}

void Platform::reset(Inventory inventory) {
  std::lock_guard<std::mutex> lock(mutex_);
  inventory_ = std::move(inventory);
  state_.running_jobs.clear();
  state_.changed();
}

Inventory Platform::inventory() {
  std::lock_guard<std::mutex> lock(mutex_);
  settle_jobs(inventory_, state_, clock_.now());
  return inventory_;
}

std::string Platform::version() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return inventory_.version;
}

std::vector<std::string> Platform::zone_ids() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::string> ids;
  for (const Zone& z : inventory_.zones)
    ids.push_back(z.id());
  return ids;
}

std::size_t Platform::instance_count() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return inventory_.count_instances();
}

void Platform::set_job_seconds(int seconds) {
  std::lock_guard<std::mutex> lock(mutex_);
  state_.job_seconds = seconds;
}

void Platform::set_lease_seconds(int seconds) {
  std::lock_guard<std::mutex> lock(mutex_);
  state_.lease_seconds = seconds;
}

}  // namespace qingcloud_sim
