#include "host/support/exponential_backoff.h"

#include <algorithm>
#include <limits>
#include <random>

namespace {

std::uint32_t draw_between(std::uint32_t low, std::uint32_t high) {
  // Jitter only spreads clients apart; it needs no strong randomness.
  thread_local std::minstd_rand engine(std::random_device{}());
  return std::uniform_int_distribution<std::uint32_t>(low, high)(engine);
}

}  // namespace

void Exponential_Backoff_Iterator::init(std::uint32_t slot_time, std::uint32_t max_retries,
                                        std::uint32_t capped, bool jitter) noexcept {
  slot_time_ = std::max<std::uint32_t>(slot_time, 1);
  max_retries_ = max_retries;
  capped_ = capped;
  jitter_ = jitter;
  slot_time_exp_ = capped_ ? std::min(slot_time_, capped_) : slot_time_;
  i_ = 0;
  cumulation_ = 0;
  draw();
}

void Exponential_Backoff_Iterator::draw() noexcept {
  value_ = jitter_ ? draw_between(1, slot_time_exp_) : slot_time_exp_;
  std::uint64_t sum = std::uint64_t{cumulation_} + value_;
  cumulation_ = static_cast<std::uint32_t>(
      std::min<std::uint64_t>(sum, std::numeric_limits<std::uint32_t>::max()));
}

Exponential_Backoff_Iterator& Exponential_Backoff_Iterator::operator++() noexcept {
  if (i_ < max_retries_) {
    std::uint64_t doubled = std::uint64_t{slot_time_exp_} * 2;
    std::uint64_t limit = capped_ ? capped_ : std::numeric_limits<std::uint32_t>::max();
    slot_time_exp_ = static_cast<std::uint32_t>(std::min(doubled, limit));
  }
  if (i_ < std::numeric_limits<std::uint32_t>::max()) ++i_;
  draw();
  return *this;
}
