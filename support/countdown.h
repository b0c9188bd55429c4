#pragma once

#include <cstdint>
#include <iterator>

#include <boost/range/iterator_range.hpp>

#include "host/support/exponential_backoff.h"

// Paces a polling loop: one tick at once, then one after each wait of a
// backoff sequence, until the waits have used up a budget of seconds.
//
//   for (const auto& tick : countdown(360, 1, 60, false)) {
//     if (query()) break;
//   }
//
// A wait that would pass the budget is cut to end exactly on it, one last
// tick comes there, and the range ends.  Only the waits count against the
// budget; the time the loop body takes comes on top.
class Countdown_Iterator {
 public:
  struct Tick {
    std::int64_t tick_nr;       // from 0
    std::int64_t sleep_secs;    // slept just before this tick
    std::int64_t elapsed_secs;  // slept in all so far
    std::int64_t timeout_secs;  // the budget
  };

  using iterator_category = std::input_iterator_tag;
  using value_type = Tick;
  using difference_type = std::ptrdiff_t;
  using pointer = const Tick*;
  using reference = const Tick&;

  Countdown_Iterator(std::int64_t timeout_secs, std::int64_t start_sleep_secs,
                     std::int64_t max_sleep_secs, bool jitter) noexcept;

  // Sleeps the next wait (see the class comment) and moves to the next tick.
  Countdown_Iterator& operator++();
  const Tick& operator*() const noexcept { return tick_; }
  const Tick* operator->() const noexcept { return &tick_; }

  bool done() const noexcept;

  // Two iterators are equal exactly when both are done.
  friend bool operator==(const Countdown_Iterator& a, const Countdown_Iterator& b) noexcept {
    return a.done() && b.done();
  }
  friend bool operator!=(const Countdown_Iterator& a, const Countdown_Iterator& b) noexcept {
    return !(a == b);
  }

 private:
  Tick tick_;
  Exponential_Backoff_Iterator exp_it_;
};

using Countdown_Range = boost::iterator_range<Countdown_Iterator>;

// The ticks of a budget of `timeout_secs` seconds of waiting, with waits that
// start at `start_sleep_secs` and grow up to `max_sleep_secs` (0: up to the
// budget).  A zero budget is logged and taken as one second.
Countdown_Range countdown(std::int64_t timeout_secs, std::int64_t start_sleep_secs,
                          std::int64_t max_sleep_secs, bool jitter);
