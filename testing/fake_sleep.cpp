#include "testing/fake_sleep.h"

#include <mutex>

#include "support/countdown_sleep.h"

namespace {

std::mutex mutex;
std::vector<std::int64_t> sleeps;
std::function<void(std::int64_t)> hook;

}  // namespace

void countdown_sleep(std::int64_t seconds) {
  std::function<void(std::int64_t)> run;
  {
    std::lock_guard<std::mutex> lock(mutex);
    sleeps.push_back(seconds);
    run = hook;
  }
  if (run) run(seconds);
}

namespace testing_support {

void on_sleep(std::function<void(std::int64_t)> new_hook) {
  std::lock_guard<std::mutex> lock(mutex);
  hook = std::move(new_hook);
}

std::vector<std::int64_t> take_sleeps() {
  std::lock_guard<std::mutex> lock(mutex);
  std::vector<std::int64_t> out;
  out.swap(sleeps);
  return out;
}

}  // namespace testing_support
