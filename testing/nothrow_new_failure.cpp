#include "testing/nothrow_new_failure.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<int> nothrow_failing{0};
std::atomic<std::size_t> nothrow_failing_size{0};  // 0: every size

bool nothrow_fails(std::size_t size) {
  if (nothrow_failing.load() == 0) return false;
  const std::size_t only = nothrow_failing_size.load();
  return only == 0 || only == size;
}
std::atomic<int> throwing_failures{0};

void* allocate(std::size_t size) {
  int left = throwing_failures.load();
  while (left > 0) {
    if (throwing_failures.compare_exchange_weak(left, left - 1)) throw std::bad_alloc();
  }
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
}  // namespace

namespace testing_support {
Nothrow_New_Failure::Nothrow_New_Failure(std::size_t size) {
  nothrow_failing_size = size;
  ++nothrow_failing;
}
Nothrow_New_Failure::~Nothrow_New_Failure() {
  --nothrow_failing;
  nothrow_failing_size = 0;
}
Allocation_Failure::Allocation_Failure(int count) {
  throwing_failures = count;
}
Allocation_Failure::~Allocation_Failure() {
  throwing_failures = 0;
}
}  // namespace testing_support

// Replacements of the program's allocation functions: plain malloc and free,
// so that every block meets its matching release, with failures on demand.
void* operator new(std::size_t size) {
  return allocate(size);
}
void* operator new[](std::size_t size) {
  return allocate(size);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  if (nothrow_fails(size)) return nullptr;
  try {
    return allocate(size);
  } catch (...) {
    return nullptr;
  }
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  if (nothrow_fails(size)) return nullptr;
  try {
    return allocate(size);
  } catch (...) {
    return nullptr;
  }
}
