#pragma once

#include <cstdint>
#include <vector>

namespace testing_support {

// A test program that lists testing/fake_sleep.cpp among its sources replaces
// the library's countdown_sleep: waits return at once and are recorded.

// The waits requested since the last call, in order; clears the record.
std::vector<std::int64_t> take_sleeps();

}  // namespace testing_support
