#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace qingcloud {

// The API counts sizes in whole GiB; records and profiles hold bytes.

// `gib` GiB in bytes; std::out_of_range naming `attribute` when that many
// bytes do not fit in 64 bits (2^34 GiB and more), rather than a wrapped size.
inline std::uint64_t gib_to_bytes_or_throw(std::uint64_t gib, const char* attribute) {
  if (gib >> 34 != 0) {
    throw std::out_of_range(std::string("Attribute '") + attribute + "' is " + std::to_string(gib) +
                            " GiB, too large to be held in bytes");
  }
  return gib << 30;
}

// Bytes in whole GiB, as the API takes them; a remainder below 1 GiB is dropped.
inline std::uint64_t bytes_to_gib(std::uint64_t bytes) {
  return bytes >> 30;
}

}  // namespace qingcloud
