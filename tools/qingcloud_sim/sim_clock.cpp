#include "tools/qingcloud_sim/sim_clock.h"

#include <chrono>
#include <cstdio>

namespace qingcloud_sim {

std::int64_t Sim_Clock::wall_now() const {
  if (frozen_.load()) return frozen_at_.load();
  using namespace std::chrono;
  return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

void Sim_Clock::freeze(std::int64_t seconds) {
  frozen_at_ = seconds;
  frozen_ = true;
}

void Sim_Clock::unfreeze() {
  frozen_ = false;
}

void Sim_Clock::reset() {
  frozen_ = false;
  offset_ = 0;
}

std::string format_time(std::int64_t seconds) {
  std::time_t t = static_cast<std::time_t>(seconds);
  std::tm tm{};
  char text[32] = "";
  if (gmtime_r(&t, &tm) == nullptr) return std::string();
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return text;
}

bool parse_time(const std::string& text, std::int64_t* seconds) {
  // Exactly "YYYY-MM-DDTHH:MM:SSZ": 20 characters, digits where digits go.
  static const char PATTERN[] = "dddd-dd-ddTdd:dd:ddZ";
  if (text.size() != sizeof PATTERN - 1) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool digit = text[i] >= '0' && text[i] <= '9';
    if (PATTERN[i] == 'd' ? !digit : text[i] != PATTERN[i]) return false;
  }
  std::tm tm{};
  if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2dZ", &tm.tm_year, &tm.tm_mon, &tm.tm_mday,
                  &tm.tm_hour, &tm.tm_min, &tm.tm_sec) != 6)
    return false;
  if (tm.tm_mon < 1 || tm.tm_mon > 12 || tm.tm_mday < 1 || tm.tm_mday > 31 || tm.tm_hour > 23 ||
      tm.tm_min > 59 || tm.tm_sec > 60)
    return false;
  tm.tm_year -= 1900;
  tm.tm_mon -= 1;
  *seconds = static_cast<std::int64_t>(timegm(&tm));
  return true;
}

}  // namespace qingcloud_sim
