#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// A fixed number of threads that run work handed to them, and a queue of
// bounded length before them: work that finds the queue full is refused at
// once, never left to wait without end.  The work of answering stays on
// these few threads (and so do the memory arenas it grows).
class Handler_Pool {
 public:
  Handler_Pool(int threads, std::size_t max_queued);
  // Finishes the work handed in, then joins the threads.
  ~Handler_Pool();
  Handler_Pool(const Handler_Pool&) = delete;
  Handler_Pool& operator=(const Handler_Pool&) = delete;

  // Hands `work` to the threads; false, and `work` dropped unrun, when
  // every thread is busy and max_queued works already wait.  `work` must
  // not throw.
  bool post(std::function<void()> work);

  struct Load {
    std::size_t threads = 0;
    std::size_t busy = 0;    // threads running work now
    std::size_t queued = 0;  // works waiting for a thread
  };
  Load load() const;

 private:
  void serve();

  const std::size_t max_queued_;
  mutable std::mutex mutex_;
  std::condition_variable queued_changed_;
  std::deque<std::function<void()>> jobs_;
  std::size_t busy_ = 0;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};
