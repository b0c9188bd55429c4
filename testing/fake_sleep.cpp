#include "testing/fake_sleep.h"

#include <mutex>

#include "support/countdown_sleep.h"

namespace {

std::mutex mutex;
std::vector<std::int64_t> sleeps;

}  // namespace

void countdown_sleep(std::int64_t seconds) {
  std::lock_guard<std::mutex> lock(mutex);
  sleeps.push_back(seconds);
}

namespace testing_support {

std::vector<std::int64_t> take_sleeps() {
  std::lock_guard<std::mutex> lock(mutex);
  std::vector<std::int64_t> out;
  out.swap(sleeps);
  return out;
}

}  // namespace testing_support
