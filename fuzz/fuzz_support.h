#pragma once

// What every fuzz target shares: the entry point it defines (run by libFuzzer,
// or by replay_main.cpp over a corpus in the ordinary build), a check that
// aborts so the fuzzer keeps the input, and a log sink that keeps the lines of
// one input instead of printing them.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace fuzz_support {

// Prints the failed condition and aborts.
[[noreturn]] void fail(const char* file, int line, const char* condition);

// The input as text (any bytes, not necessarily UTF-8).
inline std::string_view as_text(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// Routes ACE logging into the sink (on the first call) and forgets the lines
// logged so far.  With QC_FUZZ_LOG set in the environment the lines are
// printed as well.
void clear_log();

// Lines logged since the last clear_log.
const std::vector<std::string>& log_lines();

// True when a line logged since the last clear_log contains `text`.
bool logged(std::string_view text);

// True for a text worth looking for in the log as a leaked secret: sixteen
// or more letters and digits, which no fixed part of a log line holds, so a
// match can only have come from the input.
bool is_canary_secret(std::string_view text);

}  // namespace fuzz_support

#define FUZZ_CHECK(condition) \
  ((condition) ? static_cast<void>(0) : ::fuzz_support::fail(__FILE__, __LINE__, #condition))
