#pragma once

#include <atomic>
#include <cstdint>
#include <ctime>
#include <string>

namespace qingcloud_sim {

// The simulator's sense of time, in whole seconds since the epoch.
//
// Two readings: `wall_now()` is the clock that request time stamps are checked
// against; `now()` is the platform's time, which drives jobs and leases.  By
// default both follow the system clock.  `freeze` pins the wall clock (and so
// the platform's time) at a given second; `advance` moves only the platform's
// time ahead, so a test can let jobs finish or leases ripen without making the
// time stamps of a client that reads the real clock look stale.
//
// Thread safe: every member may be called from any thread.
class Sim_Clock {
 public:
  std::int64_t wall_now() const;
  std::int64_t now() const { return wall_now() + offset_.load(); }

  // Pins the wall clock at `seconds`; the advance offset is kept.
  void freeze(std::int64_t seconds);
  // Lets the wall clock follow the system clock again.
  void unfreeze();
  // Moves the platform's time ahead (or back, for a negative value).
  void advance(std::int64_t seconds) { offset_ += seconds; }
  // Back to the system clock with no offset.
  void reset();

 private:
  std::atomic<bool> frozen_{false};
  std::atomic<std::int64_t> frozen_at_{0};
  std::atomic<std::int64_t> offset_{0};
};

// "2013-08-27T14:30:10Z": the platform's UTC time text.
std::string format_time(std::int64_t seconds);
// Parses exactly that form; false for anything else.
bool parse_time(const std::string& text, std::int64_t* seconds);

}  // namespace qingcloud_sim
