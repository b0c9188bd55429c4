#pragma once

#include <atomic>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

#include <httplib.h>

namespace qingcloud_sim {

// The HTTP server's task queue: one thread per accepted connection, so any
// number of keep-alive connections are served at once.  `on_accept` runs for
// every connection.  Used by the server's listening thread only.
class Connection_Threads : public httplib::TaskQueue {
 public:
  explicit Connection_Threads(std::function<void()> on_accept) : on_accept_(std::move(on_accept)) {}
  ~Connection_Threads() override { shutdown(); }

  void enqueue(std::function<void()> fn) override;
  void shutdown() override;

 private:
  struct Worker {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
  };

  void reap_finished();

  std::function<void()> on_accept_;
  std::mutex mutex_;
  std::list<Worker> workers_;
};

// Shuts down, both ways, the TCP connections of this process whose local port
// is `local_port` (connections a server accepted on that port), or only the
// one whose peer port is `peer_port` when that is not negative.  Their
// threads see the end of the stream and close them.  Returns how many.
int shutdown_connections(int local_port, int peer_port = -1);

// Blocks SIGPIPE in the calling thread (and the threads it starts later), so
// that writing to a connection the peer has closed fails instead of ending
// the process.
void block_sigpipe_in_this_thread();

}  // namespace qingcloud_sim
