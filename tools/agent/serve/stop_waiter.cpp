#include "tools/agent/serve/stop_waiter.h"

#include <cstdio>
#include <cstdlib>
#include <pthread.h>

Stop_Waiter::Stop_Waiter(const sigset_t& signals, std::function<void()> stop,
                         std::function<void()> give_up, std::chrono::seconds grace)
    : stop_(std::move(stop)), give_up_(std::move(give_up)), grace_(grace) {
  thread_ = std::thread([this, signals] { wait(signals); });
}

Stop_Waiter::~Stop_Waiter() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ended_ = true;
  }
  ended_changed_.notify_all();
  // Wakes the thread should it still wait for a signal; the signal is
  // blocked everywhere, so it only ends that wait.
  pthread_kill(thread_.native_handle(), SIGTERM);
  thread_.join();
}

void Stop_Waiter::wait(sigset_t signals) {
  int signal = 0;
  sigwait(&signals, &signal);
  std::unique_lock<std::mutex> lock(mutex_);
  if (ended_) return;
  std::fprintf(stderr, "qingcloud-agent serve: stopping on %s\n",
               signal == SIGINT ? "SIGINT" : "SIGTERM");
  lock.unlock();
  stop_();
  lock.lock();
  if (ended_changed_.wait_for(lock, grace_, [this] { return ended_; })) return;
  std::fprintf(stderr,
               "qingcloud-agent serve: requests still in flight after %lld s; ending without "
               "them\n",
               static_cast<long long>(grace_.count()));
  give_up_();
  std::_Exit(1);
}
