#pragma once

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <functional>
#include <mutex>
#include <thread>

// Waits on a thread of its own for SIGINT or SIGTERM (blocked in every
// thread before it is made), then says so on standard error and calls
// `stop`.  A service manager kills what does not stop in its time: should
// the requests in flight take longer than `grace`, `give_up` is called and
// the process ends at once, with exit status 1.
class Stop_Waiter {
 public:
  static constexpr std::chrono::seconds DEFAULT_GRACE{20};

  Stop_Waiter(const sigset_t& signals, std::function<void()> stop, std::function<void()> give_up,
              std::chrono::seconds grace = DEFAULT_GRACE);
  // The service ended (stopped, or failed on its own): the thread goes.
  ~Stop_Waiter();
  Stop_Waiter(const Stop_Waiter&) = delete;
  Stop_Waiter& operator=(const Stop_Waiter&) = delete;

 private:
  void wait(sigset_t signals);

  std::function<void()> stop_;
  std::function<void()> give_up_;
  std::chrono::seconds grace_;
  std::mutex mutex_;
  std::condition_variable ended_changed_;
  bool ended_ = false;
  std::thread thread_;
};
