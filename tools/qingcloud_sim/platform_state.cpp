#include "tools/qingcloud_sim/platform_state.h"

namespace qingcloud_sim {

std::string Platform_State::new_id(const char* prefix) {
  static const char ALPHABET[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  // splitmix64 of a counter: ids look random but repeat from run to run.
  std::uint64_t z = (++id_counter_) * 0x9E3779B97F4A7C15ULL;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  z ^= z >> 31;
  std::string id = prefix;
  for (int i = 0; i < 8; ++i) {
    id += ALPHABET[z % 36];
    z /= 36;
  }
  return id;
}

const std::vector<const Record*>* Platform_State::cached_matches(const std::string& key) const {
  auto it = matches_.find(key);
  return it == matches_.end() ? nullptr : &it->second;
}

const std::vector<const Record*>& Platform_State::cache_matches(
    const std::string& key, std::vector<const Record*> records) {
  if (matches_.size() >= MAX_CACHED) matches_.clear();
  return matches_[key] = std::move(records);
}

}  // namespace qingcloud_sim
