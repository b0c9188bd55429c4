#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace qingcloud_sim {

// What the platform lets a new instance or volume be: its instance types, CPU
// counts, memory sizes, system disk sizes and volume types with their sizes.
// RunInstances and CreateVolumes refuse anything else, and the built-in
// inventories keep to the same values, so a client never sees a record here
// that the platform could not have made.

struct Instance_Type {
  int cpu;
  int memory;  // MiB
  int instance_class;
};

// The class of an instance whose type has none of its own, or that has no type.
constexpr int DEFAULT_INSTANCE_CLASS = 101;

// A named type ("s1.large.r2", "medium_b") or one of the "cXmY" form (X CPUs,
// Y GiB of memory, both from the offered values); nullopt for anything else.
std::optional<Instance_Type> find_instance_type(std::string_view name);

// Each throws 1100 naming its parameter when the value is not one offered.
void check_cpu(std::int64_t cpu);
void check_memory(std::int64_t memory);                   // MiB
void check_os_disk_size(std::int64_t gib, bool windows);  // GiB
void check_volume(std::int64_t volume_type, std::int64_t size_gib);

// The system disk an instance gets when the call names no size.
std::int64_t default_os_disk_size(bool windows);

}  // namespace qingcloud_sim
