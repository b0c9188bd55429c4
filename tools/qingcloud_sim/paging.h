#pragma once

#include <cstddef>

namespace qingcloud_sim {

class Params;

// One page of a describe call, as the platform pages: "offset" defaults to 0,
// "limit" to 20 and is cut to 100 without complaint; a limit of 0 counts as
// absent.  Negative values are 1100.
struct Page {
  static constexpr std::size_t DEFAULT_LIMIT = 20;
  static constexpr std::size_t MAX_LIMIT = 100;

  std::size_t offset = 0;
  std::size_t limit = DEFAULT_LIMIT;

  static Page of(const Params& params);

  // The first index of the page within `total` matches, and one past its
  // last; equal (an empty page) when the offset is at or past the end.
  std::size_t begin(std::size_t total) const { return offset < total ? offset : total; }
  std::size_t end(std::size_t total) const {
    const std::size_t first = begin(total);
    return total - first < limit ? total : first + limit;
  }
};

}  // namespace qingcloud_sim
