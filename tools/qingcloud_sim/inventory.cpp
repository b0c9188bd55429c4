#include "tools/qingcloud_sim/inventory.h"

namespace qingcloud_sim {

Zone* Inventory::zone(std::string_view zone_id) {
  for (Zone& z : zones)
    if (z.id() == zone_id) return &z;
  return nullptr;
}

const Zone* Inventory::zone(std::string_view zone_id) const {
  for (const Zone& z : zones)
    if (z.id() == zone_id) return &z;
  return nullptr;
}

std::size_t Inventory::count_instances() const {
  std::size_t n = 0;
  for (const Zone& z : zones)
    n += z.instances.size();
  return n;
}

}  // namespace qingcloud_sim
