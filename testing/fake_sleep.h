#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace testing_support {

// A test program that lists testing/fake_sleep.cpp among its sources replaces
// the library's countdown_sleep: waits return at once and are recorded.

// The waits requested since the last call, in order; clears the record.
std::vector<std::int64_t> take_sleeps();

// Runs `hook` with every wait from now on (an empty hook: none), for example
// to move a simulated platform's clock on as the client "sleeps".
void on_sleep(std::function<void(std::int64_t)> hook);

}  // namespace testing_support
