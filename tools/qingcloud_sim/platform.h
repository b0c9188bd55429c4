#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "tools/qingcloud_sim/action_context.h"
#include "tools/qingcloud_sim/inventory.h"
#include "tools/qingcloud_sim/platform_state.h"
#include "tools/qingcloud_sim/sim_clock.h"

namespace qingcloud_sim {

// An access key as authentication needs it.
struct Key_Info {
  std::string secret;
  bool back_office = false;
  std::string user_id;  // empty for a back-office key
};

// The simulated platform behind the HTTP front: the inventory, jobs and
// leases on the clock, and the actions.  Thread safe: every member takes the
// one lock, so calls are served one at a time.
class Platform {
 public:
  Platform(Inventory inventory, const Sim_Clock& clock);

  // The key `access_key_id` if it is known and active (a user's key also
  // needs an active user).
  bool find_key(std::string_view access_key_id, Key_Info* key) const;

  // Serves one authenticated call; returns the reply text.  Throws Api_Error
  // for the platform's errors (unknown action, wrong endpoint, missing or
  // unknown zone, and whatever the action finds).
  std::string call(const Api_Call& call, const Call_Effects& effects);

  // Replaces the whole state; running jobs are dropped.
  void reset(Inventory inventory);
  // A copy of the current state, with running jobs settled up to now.
  Inventory inventory();
  std::string version() const;
  // Zone ids and the number of instances, for messages.
  std::vector<std::string> zone_ids() const;
  std::size_t instance_count() const;

  void set_job_seconds(int seconds);
  void set_lease_seconds(int seconds);

 private:
  mutable std::mutex mutex_;
  Inventory inventory_;
  Platform_State state_;
  const Sim_Clock& clock_;
};

}  // namespace qingcloud_sim
