#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// A fixed number of threads that run work handed to them, however many
// threads hand it: the work of answering stays on these few threads (and so
// do the memory arenas it grows), while many connections wait on threads of
// their own.
class Handler_Pool {
 public:
  explicit Handler_Pool(int threads);
  // Finishes the work handed in, then joins the threads.
  ~Handler_Pool();
  Handler_Pool(const Handler_Pool&) = delete;
  Handler_Pool& operator=(const Handler_Pool&) = delete;

  // Runs `work` on one of the threads and waits for it; what it throws is
  // thrown here.
  void run(const std::function<void()>& work);

 private:
  struct Job;
  void serve();

  std::mutex mutex_;
  std::condition_variable queued_;
  std::condition_variable finished_;
  std::deque<Job*> jobs_;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};
