#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "host/json_spirit/value.h"

namespace qingcloud {

struct Snapshot {
  std::string resource_id;  // what the snapshot was taken of
  std::string id;
  std::string name;
  int snapshot_type = 0;        // type code as the API gives it
  std::time_t create_time = 0;  // seconds since the epoch

  // Throws std::domain_error for a missing resource id or a creation time
  // that is not the API's UTC time text.
  void load_from_api_or_throw(const json_spirit::Value& val);
};

using Snapshots = std::vector<Snapshot>;

}  // namespace qingcloud
