#pragma once

#include <cstdint>

// Binary exponential backoff: the waits of a retry loop.  Without jitter the
// sequence starts at the slot time and doubles up to the cap: 1, 2, 4, ... 60,
// 60, ...  With jitter each value is drawn from 1 up to that figure.  Every
// value is at least 1 and never above the cap.
class Exponential_Backoff_Iterator {
 public:
  Exponential_Backoff_Iterator() noexcept = default;

  // `slot_time` is the first wait, `max_retries` how many advances grow the
  // wait (later ones keep it), `capped` the longest wait (0: no cap).
  void init(std::uint32_t slot_time, std::uint32_t max_retries, std::uint32_t capped,
            bool jitter) noexcept;

  // The current wait.
  std::uint32_t value() const noexcept { return value_; }
  std::uint32_t operator*() const noexcept { return value_; }
  // The sum of the waits handed out so far, the current one included.
  std::uint32_t cumulation() const noexcept { return cumulation_; }
  // How many times the iterator advanced.
  std::uint32_t retries() const noexcept { return i_; }

  // Moves to the next wait.
  Exponential_Backoff_Iterator& operator++() noexcept;

 private:
  void draw() noexcept;

  std::uint32_t slot_time_ = 1;
  std::uint32_t max_retries_ = 0;
  std::uint32_t capped_ = 0;
  bool jitter_ = false;
  std::uint32_t value_ = 1;
  std::uint32_t cumulation_ = 1;
  std::uint32_t slot_time_exp_ = 1;  // slot time doubled once per growing advance, capped
  std::uint32_t i_ = 0;
};
