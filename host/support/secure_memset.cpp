#include "host/support/secure_memset.h"

#include <string.h>

void* secure_memset(void* p, int c, std::size_t n) noexcept {
  if (p == nullptr || n == 0) return p;
  if (c == 0) {
    // glibc promises that this store survives dead-store elimination.
    explicit_bzero(p, n);
    return p;
  }
  volatile unsigned char* bytes = static_cast<volatile unsigned char*>(p);
  for (std::size_t i = 0; i < n; ++i)
    bytes[i] = static_cast<unsigned char>(c);
  return p;
}
