#include "support/countdown.h"

#include <algorithm>
#include <limits>

#include "support/countdown_sleep.h"
#include "support/log.h"

namespace {

std::uint32_t to_u32(std::int64_t n) {
  if (n <= 0) return 0;
  return static_cast<std::uint32_t>(
      std::min<std::int64_t>(n, std::numeric_limits<std::uint32_t>::max()));
}

}  // namespace

Countdown_Iterator::Countdown_Iterator(std::int64_t timeout_secs, std::int64_t start_sleep_secs,
                                       std::int64_t max_sleep_secs, bool jitter) noexcept
    : tick_{0, 0, 0, timeout_secs} {
  exp_it_.init(to_u32(start_sleep_secs), std::numeric_limits<std::uint32_t>::max(),
               to_u32(max_sleep_secs), jitter);
}

bool Countdown_Iterator::done() const noexcept {
  return tick_.elapsed_secs > tick_.timeout_secs || tick_.timeout_secs == 0;
}

Countdown_Iterator& Countdown_Iterator::operator++() {
  if (done()) return *this;
  if (tick_.elapsed_secs == tick_.timeout_secs) {
    // The budget is used up exactly: step past it without waiting.
    tick_.elapsed_secs += exp_it_.value();
    tick_.sleep_secs = 0;
  } else {
    tick_.sleep_secs =
        std::min<std::int64_t>(exp_it_.value(), tick_.timeout_secs - tick_.elapsed_secs);
    if (tick_.sleep_secs != 0) {
      countdown_sleep(tick_.sleep_secs);
      tick_.elapsed_secs += tick_.sleep_secs;
    }
    ++exp_it_;
  }
  ++tick_.tick_nr;
  return *this;
}

Countdown_Range countdown(std::int64_t timeout_secs, std::int64_t start_sleep_secs,
                          std::int64_t max_sleep_secs, bool jitter) {
  if (timeout_secs == 0) {
    QC_LOG_ERROR("timeout_secs must be at least 1, or else the for loop never invokes.\n");
    timeout_secs = 1;
  }
  std::int64_t cap = max_sleep_secs != 0 ? max_sleep_secs : timeout_secs;
  return Countdown_Range(Countdown_Iterator(timeout_secs, start_sleep_secs, cap, jitter),
                         Countdown_Iterator(0, 0, 0, false));
}
