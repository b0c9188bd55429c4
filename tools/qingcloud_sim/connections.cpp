#include "tools/qingcloud_sim/connections.h"

#include <arpa/inet.h>
#include <cstdlib>
#include <dirent.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>

namespace qingcloud_sim {
namespace {

int port_of(const sockaddr_storage& address) {
  if (address.ss_family == AF_INET)
    return ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port);
  if (address.ss_family == AF_INET6)
    return ntohs(reinterpret_cast<const sockaddr_in6&>(address).sin6_port);
  return -1;
}

}  // namespace

void Connection_Threads::enqueue(std::function<void()> fn) {
  if (on_accept_) on_accept_();
  reap_finished();
  auto done = std::make_shared<std::atomic<bool>>(false);
  try {
    std::thread thread([fn, done] {
      fn();
      *done = true;
    });
    std::lock_guard<std::mutex> lock(mutex_);
    workers_.push_back(Worker{std::move(thread), done});
  } catch (const std::system_error&) {
    fn();  // no thread to be had: serve this connection before accepting more
  }
}

void Connection_Threads::shutdown() {
  std::lock_guard<std::mutex> lock(mutex_);
  for (Worker& w : workers_)
    if (w.thread.joinable()) w.thread.join();
  workers_.clear();
}

void Connection_Threads::reap_finished() {
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto it = workers_.begin(); it != workers_.end();) {
    if (it->done->load()) {
      it->thread.join();
      it = workers_.erase(it);
    } else {
      ++it;
    }
  }
}

int shutdown_connections(int local_port, int peer_port) {
  DIR* dir = opendir("/proc/self/fd");
  if (dir == nullptr) return 0;
  const int own = dirfd(dir);
  int count = 0;
  while (const dirent* entry = readdir(dir)) {
    if (entry->d_name[0] < '0' || entry->d_name[0] > '9') continue;
    const int fd = std::atoi(entry->d_name);
    if (fd == own) continue;
    sockaddr_storage local{}, peer{};
    socklen_t local_len = sizeof local, peer_len = sizeof peer;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &local_len) != 0) continue;
    if (port_of(local) != local_port) continue;
    if (getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peer_len) != 0) continue;
    if (peer_port >= 0 && port_of(peer) != peer_port) continue;
    if (::shutdown(fd, SHUT_RDWR) == 0) ++count;
  }
  closedir(dir);
  return count;
}

void block_sigpipe_in_this_thread() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

}  // namespace qingcloud_sim
