#include "tools/agent/handler_pool.h"

Handler_Pool::Handler_Pool(int threads, std::size_t max_queued) : max_queued_(max_queued) {
  for (int i = 0; i < threads; ++i)
    threads_.emplace_back([this] { serve(); });
}

Handler_Pool::~Handler_Pool() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  queued_changed_.notify_all();
  for (std::thread& t : threads_)
    t.join();
}

bool Handler_Pool::post(std::function<void()> work) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    // Work handed in but not yet taken counts against the queue only once
    // every thread has some.
    if (stopping_ || busy_ + jobs_.size() >= threads_.size() + max_queued_) return false;
    jobs_.push_back(std::move(work));
  }
  queued_changed_.notify_one();
  return true;
}

Handler_Pool::Load Handler_Pool::load() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return Load{threads_.size(), busy_, jobs_.size()};
}

void Handler_Pool::serve() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    queued_changed_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
    if (jobs_.empty()) return;  // stopping, and nothing is left
    std::function<void()> work = std::move(jobs_.front());
    jobs_.pop_front();
    ++busy_;
    lock.unlock();
    work();
    work = nullptr;  // what it holds goes on this thread, unlocked
    lock.lock();
    --busy_;
  }
}
