#pragma once

#include <cstddef>
#include <cstring>

// Overwrites `n` bytes at `p` with `c` in a way the compiler may not drop, even
// when the memory is released right afterwards.  Returns `p`.
void* secure_memset(void* p, int c, std::size_t n) noexcept;

// The same with zeros, inline for the many small blocks that JSON values and
// secure strings release: the barrier after the stores tells the compiler
// that the memory is read, so the stores stay.
inline void secure_wipe(void* p, std::size_t n) noexcept {
  if (p == nullptr || n == 0) return;
  std::memset(p, 0, n);
  __asm__ __volatile__("" : : "r"(p) : "memory");
}
