#pragma once

#include <string>
#include <string_view>

#include <boost/json/value.hpp>

#include "tools/qingcloud_sim/inventory.h"

namespace qingcloud_sim {

// The inventory file: one JSON object.
//
//   {
//     "version": "5.1.1",
//     "boss_keys":   [{"access_key_id": ..., "secret_access_key": ...}],
//     "users":       [{"user_id": ..., "user_name": ..., ...}],
//     "access_keys": [{"access_key_id": ..., "secret_access_key": ...,
//                      "owner": <user_id>, "status": "active", ...}],
//     "zones": [{
//       "zone_id": "pek3a", "status": "active",
//       "bots": [...], "instances": [...], "volumes": [...], "vxnets": [...],
//       "images": [...], "snapshots": [...], "jobs": [...],
//       "leases": [{"resource_id": ..., "start": <time>, "active_at": <time>,
//                   "never_active": false}]
//     }]
//   }
//
// Records are written as the platform returns them; every member left out is
// filled with a default (see record_defaults.h), so only the ids are required.
// Members beyond the known ones are kept and served.  Throws
// std::runtime_error naming the place of the first fault.
Inventory load_inventory(std::string_view json_text);
Inventory load_inventory_file(const std::string& path);

// The same form, with every record complete; loading it gives the same
// inventory.
boost::json::value dump_inventory(const Inventory& inventory);

}  // namespace qingcloud_sim
