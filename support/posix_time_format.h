#pragma once

#include <ctime>

// A UTC time rendered with a strftime format into a 32-byte buffer.  The text
// is empty when the time cannot be converted or does not fit.
class POSIX_Time_Format {
 public:
  static constexpr std::size_t CAPACITY = 32;

  POSIX_Time_Format(const char* format, std::time_t t) noexcept;

  const char* c_str() const noexcept { return buf_; }
  std::size_t size() const noexcept { return len_; }
  bool empty() const noexcept { return len_ == 0; }

 private:
  char buf_[CAPACITY];
  std::size_t len_ = 0;
};
