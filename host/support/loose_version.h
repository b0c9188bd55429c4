#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

// A release number of dotted decimal components, "5.1.1" or "12".  Versions
// compare component by component; when one is a prefix of the other, the
// shorter is the smaller ("5.1" < "5.1.0").
class Loose_Version {
 public:
  Loose_Version() = default;

  // Takes `text` when it is one or more runs of digits joined by single dots,
  // each run fitting 64 bits; otherwise returns false and keeps the version
  // as it was.
  bool parse(std::string_view text);

  const std::vector<std::uint64_t>& components() const noexcept { return components_; }

  // Negative, zero or positive as this version is older than, the same as or
  // newer than `other`.
  int compare(const Loose_Version& other) const noexcept;

 private:
  std::vector<std::uint64_t> components_;
};
