#include "testing/nothrow_new_failure.h"

#include <atomic>
#include <new>

namespace {
std::atomic<int> failing{0};
}

namespace testing_support {
Nothrow_New_Failure::Nothrow_New_Failure() {
  ++failing;
}
Nothrow_New_Failure::~Nothrow_New_Failure() {
  --failing;
}
}  // namespace testing_support

// Replacements of the program's non-throwing allocation functions.  They defer
// to the ordinary ones, so every block still meets its matching delete.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  if (failing.load() > 0) return nullptr;
  try {
    return ::operator new(size);
  } catch (...) {
    return nullptr;
  }
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  if (failing.load() > 0) return nullptr;
  try {
    return ::operator new[](size);
  } catch (...) {
    return nullptr;
  }
}
