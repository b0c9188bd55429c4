#include "bench/delay_proxy.h"

#include <cerrno>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <memory>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

#include "bench/bench_support.h"

namespace bench {
namespace {

using Clock = std::chrono::steady_clock;

// What one side sent, due at the other side at `due`.  A chunk with `end`
// set stands for the sender's end of its stream.
struct Chunk {
  Clock::time_point due;
  std::string bytes;
  std::size_t sent = 0;
  bool end = false;
};

// One way of a connection: what `from` sent, held until due for `to`.
struct Way {
  int from = -1;
  int to = -1;
  std::atomic<long long>* forwarded = nullptr;
  std::deque<Chunk> held;
  bool read_all = false;  // `from` ended its stream
  bool blocked = false;   // `to` took no more; waiting until it can
  bool finished = false;  // the end was handed on

  // Reads what `from` has sent; false when the connection broke.
  bool take(std::chrono::microseconds delay) {
    char buffer[64 * 1024];
    for (;;) {
      const ssize_t n = ::recv(from, buffer, sizeof buffer, 0);
      if (n > 0) {
        held.push_back(Chunk{Clock::now() + delay, std::string(buffer, n)});
        continue;
      }
      if (n == 0) {
        held.push_back(Chunk{Clock::now() + delay, std::string(), 0, true});
        read_all = true;
        return true;
      }
      if (errno == EINTR) continue;
      return errno == EAGAIN || errno == EWOULDBLOCK;
    }
  }

  // Hands on to `to` what is due; false when the connection broke.
  bool give(Clock::time_point now) {
    blocked = false;
    while (!held.empty() && held.front().due <= now) {
      Chunk& chunk = held.front();
      if (chunk.end) {
        ::shutdown(to, SHUT_WR);
        finished = true;
        held.pop_front();
        return true;
      }
      const ssize_t n = ::send(to, chunk.bytes.data() + chunk.sent, chunk.bytes.size() - chunk.sent,
                               MSG_NOSIGNAL);
      if (n < 0) {
        if (errno == EINTR) continue;
        blocked = errno == EAGAIN || errno == EWOULDBLOCK;
        return blocked;
      }
      *forwarded += n;
      chunk.sent += static_cast<std::size_t>(n);
      if (chunk.sent == chunk.bytes.size()) held.pop_front();
    }
    return true;
  }

  // When it next has something to hand on without waiting for `to`.
  bool next_due(Clock::time_point& due) const {
    if (held.empty() || blocked) return false;
    due = held.front().due;
    return true;
  }
};

struct Link {
  int client;
  int target;
  Way up;    // client to target
  Way down;  // target to client

  Link(int client_fd, int target_fd, std::atomic<long long>& to_target,
       std::atomic<long long>& to_client)
      : client(client_fd), target(target_fd) {
    up.from = down.to = client;
    up.to = down.from = target;
    up.forwarded = &to_target;
    down.forwarded = &to_client;
  }
  ~Link() {
    ::close(client);
    ::close(target);
  }
  Link(const Link&) = delete;
  Link& operator=(const Link&) = delete;

  bool done() const { return up.finished && down.finished; }
  short events_of(int fd) const {
    short events = 0;
    for (const Way* way : {&up, &down}) {
      if (way->from == fd && !way->read_all) events |= POLLIN;
      if (way->to == fd && way->blocked) events |= POLLOUT;
    }
    return events;
  }
};

void prepare(int fd) {
  const int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
}

// A connection to the target, or -1.
int connect_target(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  const sockaddr_in address = loopback(port);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

Delay_Proxy::Delay_Proxy(int target_port, std::chrono::microseconds delay)
    : target_port_(target_port), delay_(delay) {}

Delay_Proxy::~Delay_Proxy() {
  if (thread_.joinable()) {
    const char stop = 0;
    while (::write(wake_[1], &stop, 1) < 0 && errno == EINTR) {
    }
    thread_.join();
  }
  for (int fd : {listener_, wake_[0], wake_[1]}) {
    if (fd >= 0) ::close(fd);
  }
}

bool Delay_Proxy::start(std::string& error) {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  sockaddr_in address = loopback(0);
  socklen_t length = sizeof address;
  if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      ::listen(listener_, 128) != 0 ||
      ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
      ::pipe2(wake_, O_CLOEXEC) != 0) {
    error = std::string("delay proxy: cannot listen: ") + std::strerror(errno);
    return false;
  }
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { run(); });
  return true;
}

void Delay_Proxy::run() {
  std::vector<std::unique_ptr<Link>> links;
  std::vector<pollfd> fds;
  for (;;) {
    // Hand on what is due, and let go of connections that ended or broke.
    const Clock::time_point now = Clock::now();
    for (auto it = links.begin(); it != links.end();) {
      Link& link = **it;
      const bool ok = link.up.give(now) && link.down.give(now);
      it = ok && !link.done() ? it + 1 : links.erase(it);
    }

    // Wait for bytes, room to write, new connections or the next due chunk.
    fds.assign({{wake_[0], POLLIN, 0}, {listener_, POLLIN, 0}});
    Clock::time_point wake_at = Clock::time_point::max();
    for (const auto& link : links) {
      for (int fd : {link->client, link->target}) {
        const short events = link->events_of(fd);
        fds.push_back({events ? fd : -1, events, 0});
      }
      Clock::time_point due;
      for (const Way* way : {&link->up, &link->down}) {
        if (way->next_due(due) && due < wake_at) wake_at = due;
      }
    }
    timespec timeout{};
    timespec* wait = nullptr;
    if (wake_at != Clock::time_point::max()) {
      const auto left = std::max(Clock::duration::zero(), wake_at - Clock::now());
      const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
      timeout = {static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
      wait = &timeout;
    }
    if (::ppoll(fds.data(), fds.size(), wait, nullptr) < 0 && errno != EINTR) return;
    if (fds[0].revents) return;

    const short readable = POLLIN | POLLHUP | POLLERR;
    for (std::size_t i = 0; i < links.size(); ++i) {
      Link& link = *links[i];
      bool ok = true;
      if (!link.up.read_all && (fds[2 + 2 * i].revents & readable)) ok = link.up.take(delay_);
      if (!link.down.read_all && (fds[3 + 2 * i].revents & readable))
        ok = link.down.take(delay_) && ok;
      if (!ok) link.up.finished = link.down.finished = true;  // broken: let go of both
    }
    if (fds[1].revents & POLLIN) {
      for (;;) {
        const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) break;
        ++connections_;
        const int target = connect_target(target_port_);
        if (target < 0) {
          ::close(client);
          continue;
        }
        prepare(client);
        prepare(target);
        links.push_back(std::make_unique<Link>(client, target, bytes_to_target_, bytes_to_client_));
      }
    }
  }
}

}  // namespace bench
