#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "tools/qingcloud_sim/records.h"

namespace qingcloud_sim {

// A job that has not ended yet, with what it does when it ends.
struct Running_Job {
  std::string zone_id;
  std::string job_id;
  std::string action;
  std::vector<std::string> resource_ids;
  std::int64_t start = 0;
  std::int64_t done_at = 0;
  bool fail = false;
  std::string target_host;    // MigrateInstances
  bool direct_cease = false;  // TerminateInstances
};

// The platform's working state beside the inventory: timing settings, the
// jobs under way, the change counter and the cached matches of recent
// describe calls.  Guarded by the platform's lock.
class Platform_State {
 public:
  int job_seconds = 2;
  int lease_seconds = 2;
  std::vector<Running_Job> running_jobs;

  // Called after every change of the inventory; drops cached matches.
  void changed() { matches_.clear(); }

  // A fresh id: `prefix` and eight lower-case letters and digits, the same
  // sequence on every run.  Callers check it against their table.
  std::string new_id(const char* prefix);

  // The cached matching records of a describe call, or null.  Valid until
  // the next change.
  const std::vector<const Record*>* cached_matches(const std::string& key) const;
  const std::vector<const Record*>& cache_matches(const std::string& key,
                                                  std::vector<const Record*> records);

 private:
  static constexpr std::size_t MAX_CACHED = 64;

  std::uint64_t id_counter_ = 0;
  std::unordered_map<std::string, std::vector<const Record*>> matches_;
};

}  // namespace qingcloud_sim
