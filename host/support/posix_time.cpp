#include "host/support/posix_time.h"

#include <time.h>

namespace {

bool same_fields(const struct tm& a, const struct tm& b) {
  return a.tm_year == b.tm_year && a.tm_mon == b.tm_mon && a.tm_mday == b.tm_mday &&
         a.tm_hour == b.tm_hour && a.tm_min == b.tm_min && a.tm_sec == b.tm_sec;
}

}  // namespace

bool format_to_posix_time(const std::string& text, const char* format, std::time_t& out) noexcept {
  if (format == nullptr) return false;
  struct tm parsed = {};
  const char* end = ::strptime(text.c_str(), format, &parsed);
  // A text with anything after the match (an embedded NUL included) is not
  // in the format.
  if (end == nullptr || end != text.c_str() + text.size()) return false;

  // timegm folds impossible dates such as February 30 into real ones, in
  // place; such a text names no time.  The round trip also tells an error
  // from -1, the last second of 1969.
  struct tm normalized = parsed;
  std::time_t seconds = ::timegm(&normalized);
  struct tm check = {};
  if (::gmtime_r(&seconds, &check) == nullptr || !same_fields(parsed, check)) return false;
  // The C library's parser skips blanks wherever it likes and takes numbers
  // without their leading zeros; a text in the format is exactly what the
  // same format writes for that time.
  char written[128];
  const std::size_t length = ::strftime(written, sizeof written, format, &check);
  if (length == 0 || text.compare(0, std::string::npos, written, length) != 0) return false;
  out = seconds;
  return true;
}
