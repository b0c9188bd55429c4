#pragma once

#include <cstdarg>
#include <cstddef>
#include <memory>

// printf-style formatting into a buffer held inline for short texts and on the
// heap for longer ones.  The text is never cut.
class snprintf_t {
 public:
  static constexpr std::size_t INLINE_CAPACITY = 256;

  explicit snprintf_t(const char* format, ...) __attribute__((format(printf, 2, 3)));
  snprintf_t(const char* format, va_list args) __attribute__((format(printf, 2, 0)));

  snprintf_t(const snprintf_t&) = delete;
  snprintf_t& operator=(const snprintf_t&) = delete;

  const char* c_str() const noexcept { return buf_; }
  std::size_t size() const noexcept { return len_; }

 private:
  void format(const char* format, va_list args);

  char inline_[INLINE_CAPACITY];
  std::unique_ptr<char[]> heap_;
  char* buf_ = inline_;
  std::size_t len_ = 0;
};
