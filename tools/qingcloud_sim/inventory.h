#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "tools/qingcloud_sim/records.h"

namespace qingcloud_sim {

// The lease of a resource.  Resources without an entry have had an active
// lease since they were created.
struct Lease {
  std::string resource_id;
  std::int64_t start = 0;      // when the resource was ordered
  std::int64_t active_at = 0;  // when the lease becomes active
  bool never_active = false;   // held back for good by a fault

  bool active(std::int64_t now) const { return !never_active && now >= active_at; }
};

// Everything that lives in one zone.
struct Zone {
  Record record;  // the DescribeZones element
  Record_Table bots;
  Record_Table instances;
  Record_Table volumes;
  Record_Table vxnets;
  Record_Table images;
  Record_Table snapshots;
  Record_Table jobs;
  std::map<std::string, Lease, std::less<>> leases;

  const std::string& id() const { return record.id(); }
};

// A back-office access key: it may call "/boss2/" and sees every user.
struct Boss_Key {
  std::string access_key_id;
  std::string secret_access_key;
};

// The platform's whole state.  Plain data, copyable (the simulator keeps the
// loaded state to reset to).  Not thread safe.
struct Inventory {
  std::string version = "5.1.1";
  std::vector<Zone> zones;  // in the order DescribeZones lists them
  Record_Table users;
  Record_Table access_keys;  // users' keys, with "owner" and "status"
  std::vector<Boss_Key> boss_keys;

  Zone* zone(std::string_view zone_id);
  const Zone* zone(std::string_view zone_id) const;

  // Counts of every kind, for logs and tests.
  std::size_t count_instances() const;
};

}  // namespace qingcloud_sim
