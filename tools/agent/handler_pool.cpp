#include "tools/agent/handler_pool.h"

#include <exception>

struct Handler_Pool::Job {
  const std::function<void()>* work;
  bool done = false;
  std::exception_ptr thrown;
};

Handler_Pool::Handler_Pool(int threads) {
  for (int i = 0; i < threads; ++i)
    threads_.emplace_back([this] { serve(); });
}

Handler_Pool::~Handler_Pool() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  queued_.notify_all();
  for (std::thread& t : threads_)
    t.join();
}

void Handler_Pool::run(const std::function<void()>& work) {
  Job job{&work, false, nullptr};
  std::unique_lock<std::mutex> lock(mutex_);
  jobs_.push_back(&job);
  queued_.notify_one();
  finished_.wait(lock, [&job] { return job.done; });
  if (job.thrown) std::rethrow_exception(job.thrown);
}

void Handler_Pool::serve() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    queued_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
    if (jobs_.empty()) return;  // stopping, and nothing is left
    Job* job = jobs_.front();
    jobs_.pop_front();
    lock.unlock();
    try {
      (*job->work)();
    } catch (...) {
      job->thrown = std::current_exception();
    }
    lock.lock();
    job->done = true;
    finished_.notify_all();
  }
}
