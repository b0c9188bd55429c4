#include "host/support/loose_version.h"

#include <charconv>
#include <utility>

bool Loose_Version::parse(std::string_view text) {
  std::vector<std::uint64_t> components;
  const char* p = text.data();
  const char* end = p + text.size();
  while (true) {
    std::uint64_t n = 0;
    // from_chars takes no sign and no blanks, so only digits get through.
    auto [next, ec] = std::from_chars(p, end, n);
    if (ec != std::errc() || next == p) return false;
    components.push_back(n);
    if (next == end) break;
    if (*next != '.') return false;
    p = next + 1;
  }
  components_ = std::move(components);
  return true;
}

int Loose_Version::compare(const Loose_Version& other) const noexcept {
  const auto& a = components_;
  const auto& b = other.components_;
  for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}
