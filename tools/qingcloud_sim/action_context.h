#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "tools/qingcloud_sim/api_error.h"
#include "tools/qingcloud_sim/inventory.h"
#include "tools/qingcloud_sim/params.h"

namespace qingcloud_sim {

class Platform_State;

// Who sent a call: a back-office key sees everything, a user's key only what
// the user owns (and what the platform shares with everyone).
struct Caller {
  std::string access_key_id;
  bool back_office = false;
  std::string user_id;  // empty for a back-office key
};

// One authenticated call of an action.
struct Api_Call {
  std::string path;  // "/iaas/" or "/boss2/"
  std::string action;
  Params params;
  Caller caller;
};

// What faults ask of the handling of one call.
struct Call_Effects {
  bool fail_jobs = false;    // jobs started by the call end "failed"
  bool hold_leases = false;  // leases made or queried by the call never become active
};

// Everything an action handler works with.  Handlers run under the platform's
// lock, report errors by throwing Api_Error and return the reply text.
struct Action_Context {
  Inventory& inventory;
  Platform_State& state;
  const Api_Call& call;
  const Call_Effects& effects;
  Zone* zone;  // the call's zone; null for actions that are not zone-bound
  std::int64_t now;

  const Params& params() const { return call.params; }
  // The user the call acts for: the caller's user, or for a back-office key
  // the "owner" parameter (the platform itself when absent).
  std::string acting_owner() const;
  // Whether the caller may see a record owned by `owner`.
  bool may_see(const std::string& owner, bool shared_with_all = false) const;

  Record& instance(const std::string& id) const;  // visible, or 2100
  Record& volume(const std::string& id) const;    // visible, or 2100
};

// 1400 unless `r` is in one of the `allowed` states and in no transition.  The
// message names the record as `kind` ("instance [i-1]") and says what it could
// not be (`verb`: "stopped"), in the platform's wording: "is not <state>" when
// one state is allowed, "is <its state>" when several are.
void require_state(const Record& r, const char* kind, std::initializer_list<const char*> allowed,
                   const char* verb);

// The reply text {"action":"<Action>Response", <members...>, "ret_code":0}
// with the members given as already serialized JSON values.
std::string reply_text(const std::string& action,
                       const std::vector<std::pair<std::string, std::string>>& members);

// The JSON text of a list of ids.
std::string id_list_text(const std::vector<std::string>& ids);
// The JSON text of a string.
std::string string_text(const std::string& text);

}  // namespace qingcloud_sim
