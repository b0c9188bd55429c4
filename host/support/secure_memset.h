#pragma once

#include <cstddef>

// Overwrites `n` bytes at `p` with `c` in a way the compiler may not drop, even
// when the memory is released right afterwards.  Returns `p`.
void* secure_memset(void* p, int c, std::size_t n) noexcept;
