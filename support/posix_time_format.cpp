#include "support/posix_time_format.h"

#include <ace/OS_NS_time.h>

POSIX_Time_Format::POSIX_Time_Format(const char* format, std::time_t t) noexcept {
  buf_[0] = '\0';
  struct tm tm_utc;
  if (format == nullptr || ACE_OS::gmtime_r(&t, &tm_utc) == nullptr) return;
  len_ = ACE_OS::strftime(buf_, CAPACITY, format, &tm_utc);
  if (len_ == 0) buf_[0] = '\0';
}
