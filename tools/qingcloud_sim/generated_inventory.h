#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "tools/qingcloud_sim/inventory.h"

namespace qingcloud_sim {

// What `--generate` makes.  Counts left at 0 follow from the instance count.
struct Generate_Sizes {
  static constexpr std::size_t MAX_INSTANCES = 1000000;

  std::size_t instances = 1000;
  std::size_t zones = 2;
  std::size_t users = 0;      // default: 2 + instances / 1000
  std::size_t bots = 0;       // per zone; default: 3 + instances / (zones * 250)
  std::size_t volumes = 0;    // default: instances / 2
  std::size_t snapshots = 0;  // default: instances / 10
  // Percent of the instances that a listing shows (running or stopped, and
  // a user's own); the others are in other states.  Unset: the natural mix,
  // where about three in four are shown.
  std::optional<std::size_t> listed;
};

// "instances=100000,zones=3,users=20,bots=8,volumes=5000,snapshots=100,listed=85", or
// a bare number of instances.  False, with the reason in `error`, on an
// unknown key, a bad number or a count out of range.
bool parse_generate_sizes(std::string_view text, Generate_Sizes* sizes, std::string* error);

// A platform of the given size, the same for the same sizes and seed.  The
// back-office key and the first two users ("ops", "dev") and their keys are
// the demo's; further users are "user-0003"... with key ids
// "QYGENUSER00000000003"... and secrets "gen-secret-3"...
Inventory generate_inventory(const Generate_Sizes& sizes, std::uint64_t seed);

}  // namespace qingcloud_sim
