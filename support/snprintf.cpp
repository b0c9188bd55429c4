#include "support/snprintf.h"

#include <ace/OS_NS_stdio.h>

snprintf_t::snprintf_t(const char* format, ...) {
  va_list args;
  va_start(args, format);
  this->format(format, args);
  va_end(args);
}

snprintf_t::snprintf_t(const char* format, va_list args) {
  this->format(format, args);
}

void snprintf_t::format(const char* format, va_list args) {
  inline_[0] = '\0';
  va_list retry;
  va_copy(retry, args);
  int n = ACE_OS::vsnprintf(inline_, INLINE_CAPACITY, format, args);
  if (n < 0) {
    inline_[0] = '\0';
  } else if (static_cast<std::size_t>(n) < INLINE_CAPACITY) {
    len_ = static_cast<std::size_t>(n);
  } else {
    // The first pass measured the whole text; the second writes all of it.
    heap_.reset(new char[static_cast<std::size_t>(n) + 1]);
    ACE_OS::vsnprintf(heap_.get(), static_cast<std::size_t>(n) + 1, format, retry);
    buf_ = heap_.get();
    len_ = static_cast<std::size_t>(n);
  }
  va_end(retry);
}
