#include "tools/qingcloud_sim/shapes.h"

#include <string>

#include "tools/qingcloud_sim/api_error.h"
#include "tools/qingcloud_sim/params.h"

namespace qingcloud_sim {
namespace {

const int CPU_COUNTS[] = {1, 2, 4, 8, 16};
const int MEMORY_SIZES[] = {1024, 2048, 4096, 6144, 8192, 12288, 16384, 24576, 32768};

struct Named_Type {
  const char* name;
  Instance_Type type;
};

const Named_Type NAMED_TYPES[] = {
    {"s1.small.r1", {1, 1024, 101}},
    {"s1.medium.r2", {1, 2048, 101}},
    {"s1.large.r1", {2, 2048, 101}},
    {"s1.large.r2", {2, 4096, 101}},
    {"e1.xlarge.r2", {4, 8192, 201}},
    {"e1.2xlarge.r2", {8, 16384, 201}},
    {"e1.4xlarge.r2", {16, 32768, 201}},
    // The older families, still accepted.
    {"small_b", {1, 2048, DEFAULT_INSTANCE_CLASS}},
    {"small_c", {1, 4096, DEFAULT_INSTANCE_CLASS}},
    {"medium_a", {2, 2048, DEFAULT_INSTANCE_CLASS}},
    {"medium_b", {2, 4096, DEFAULT_INSTANCE_CLASS}},
    {"medium_c", {2, 8192, DEFAULT_INSTANCE_CLASS}},
    {"large_a", {4, 4096, DEFAULT_INSTANCE_CLASS}},
    {"large_b", {4, 8192, DEFAULT_INSTANCE_CLASS}},
    {"large_c", {4, 16384, DEFAULT_INSTANCE_CLASS}},
};

struct Volume_Type {
  int type;
  int min_size;
  int max_size;
};

// 0 performance, 1 high performance, 2 high capacity, 3 super high
// performance, 5 enterprise distributed SAN, 6 basic, 10 SSD enterprise.
const Volume_Type VOLUME_TYPES[] = {{0, 10, 1000},   {1, 10, 2000}, {2, 100, 5000}, {3, 10, 2000},
                                    {5, 100, 50000}, {6, 10, 2000}, {10, 10, 2000}};
constexpr int VOLUME_SIZE_STEP = 10;

template <typename List>
bool listed(const List& list, std::int64_t value) {
  for (int v : list)
    if (v == value) return true;
  return false;
}

template <typename List>
std::string one_of(const List& list) {
  std::string text = "should be one of ";
  for (const int& v : list) {
    if (&v != &list[0]) text += ", ";
    text += std::to_string(v);
  }
  return text;
}

// "c4m8": 4 CPUs, 8 GiB.  Only the plain spelling counts ("c04m8" does not).
std::optional<Instance_Type> parse_cpu_memory_name(std::string_view name) {
  const std::size_t m = name.find('m');
  if (name.size() < 4 || name[0] != 'c' || m == std::string_view::npos) return std::nullopt;
  std::int64_t cpu = 0, gib = 0;
  if (!parse_integer(name.substr(1, m - 1), &cpu) || !parse_integer(name.substr(m + 1), &gib))
    return std::nullopt;
  if (!listed(CPU_COUNTS, cpu) || !listed(MEMORY_SIZES, gib * 1024)) return std::nullopt;
  if ("c" + std::to_string(cpu) + "m" + std::to_string(gib) != name) return std::nullopt;
  return Instance_Type{static_cast<int>(cpu), static_cast<int>(gib * 1024), DEFAULT_INSTANCE_CLASS};
}

}  // namespace

std::optional<Instance_Type> find_instance_type(std::string_view name) {
  for (const Named_Type& t : NAMED_TYPES)
    if (name == t.name) return t.type;
  return parse_cpu_memory_name(name);
}

void check_cpu(std::int64_t cpu) {
  if (!listed(CPU_COUNTS, cpu)) throw invalid_parameter("cpu", one_of(CPU_COUNTS));
}

void check_memory(std::int64_t memory) {
  if (!listed(MEMORY_SIZES, memory)) throw invalid_parameter("memory", one_of(MEMORY_SIZES));
}

std::int64_t default_os_disk_size(bool windows) {
  return windows ? 50 : 20;
}

void check_os_disk_size(std::int64_t gib, bool windows) {
  const std::int64_t min = default_os_disk_size(windows);
  if (gib < min || gib > 100)
    throw invalid_parameter("os_disk_size", "should be " + std::to_string(min) + " to 100");
}

void check_volume(std::int64_t volume_type, std::int64_t size_gib) {
  const Volume_Type* type = nullptr;
  std::string types = "should be one of ";
  for (const Volume_Type& t : VOLUME_TYPES) {
    if (t.type == volume_type) type = &t;
    if (&t != &VOLUME_TYPES[0]) types += ", ";
    types += std::to_string(t.type);
  }
  if (type == nullptr) throw invalid_parameter("volume_type", types);
  if (size_gib < type->min_size || size_gib > type->max_size || size_gib % VOLUME_SIZE_STEP != 0)
    throw invalid_parameter("size", "should be a multiple of " + std::to_string(VOLUME_SIZE_STEP) +
                                        " from " + std::to_string(type->min_size) + " to " +
                                        std::to_string(type->max_size) + " for volume_type " +
                                        std::to_string(type->type));
}

}  // namespace qingcloud_sim
