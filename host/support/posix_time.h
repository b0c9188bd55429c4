#pragma once

#include <ctime>
#include <string>

// Converts a UTC time text written by the strftime-style `format` (for
// example "%Y-%m-%dT%H:%M:%SZ") into seconds since the epoch.  True, and
// `out` set, only when the whole text matches the format and names a time
// that exists; otherwise false and `out` unchanged.  Thread-safe.
bool format_to_posix_time(const std::string& text, const char* format, std::time_t& out) noexcept;
