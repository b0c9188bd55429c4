#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/qingcloud_sim/action_context.h"
#include "tools/qingcloud_sim/platform_state.h"

namespace qingcloud_sim {

// Jobs run on the platform's clock: a job is "pending" in the second it
// starts, "working" after that, and "successful" (or "failed", when a fault
// asks) once `job_seconds` have passed; only then do its resources take their
// new state.  With `job_seconds` 0 a job has ended by the next call.

// Starts a job of the call's action on `resource_ids` in the call's zone and
// returns its id.  `effect` carries what the action needs when the job ends
// (target host, cease flag).
std::string start_job(Action_Context& ctx, std::vector<std::string> resource_ids,
                      Running_Job effect = Running_Job());

// Moves every running job on to `now`: updates the phases DescribeJobs shows
// and applies the outcome of every job that has ended.
void settle_jobs(Inventory& inventory, Platform_State& state, std::int64_t now);

// Orders the lease of a new resource: active `lease_seconds` from now, or
// never when the call's effects hold leases back.
void start_lease(Action_Context& ctx, const std::string& resource_id);

// The lease of a resource in `zone` (active since the resource's creation
// when none was ordered here).
Lease lease_of(const Zone& zone, const Record& resource);

// Sets "status" (unless null), "transition_status" and "status_time".
void set_state(Record& record, const char* status, const char* transition, std::int64_t when);

}  // namespace qingcloud_sim
