// The delay proxy against an echoing server on loopback: each connection's
// bytes arrive whole and in order both ways, and are counted.
#include "bench/delay_proxy.h"

#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "bench/bench_support.h"

namespace {

std::string read_to_end(int fd) {
  std::string all;
  char buffer[16384];
  for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;)
    all.append(buffer, static_cast<std::size_t>(n));
  return all;
}

void send_all(int fd, const std::string& bytes) {
  for (std::size_t at = 0; at < bytes.size();) {
    const ssize_t n = ::send(fd, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
    ASSERT_GT(n, 0);
    at += static_cast<std::size_t>(n);
  }
}

// Reads each connection to its end, then sends it all back and closes.
class Echo_Server {
 public:
  explicit Echo_Server(int connections) {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = bench::loopback(0);
    socklen_t length = sizeof address;
    EXPECT_EQ(::bind(listener_, reinterpret_cast<sockaddr*>(&address), length), 0);
    EXPECT_EQ(::listen(listener_, 8), 0);
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    for (int i = 0; i < connections; ++i) {
      threads_.emplace_back([this] {
        const int fd = ::accept(listener_, nullptr, nullptr);
        if (fd < 0) return;
        send_all(fd, read_to_end(fd));
        ::close(fd);
      });
    }
  }
  ~Echo_Server() {
    for (std::thread& t : threads_)
      t.join();
    ::close(listener_);
  }
  int port() const { return port_; }

 private:
  int listener_;
  int port_ = 0;
  std::vector<std::thread> threads_;
};

TEST(Delay_Proxy, ForwardsEachConnectionWholeAndInOrderBothWays) {
  Echo_Server echo(2);
  bench::Delay_Proxy proxy(echo.port(), std::chrono::milliseconds(2));
  std::string error;
  ASSERT_TRUE(proxy.start(error)) << error;

  // Two connections, written in turns: small pieces, then more than a
  // socket buffer holds.
  std::string sent[2];
  int fds[2];
  for (int& fd : fds) {
    fd = ::socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in address = bench::loopback(proxy.port());
    ASSERT_EQ(::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  }
  for (int piece = 0; piece < 50; ++piece) {
    for (int c = 0; c < 2; ++c) {
      const std::string bytes = std::to_string(c) + ":" + std::to_string(piece) + ";";
      send_all(fds[c], bytes);
      sent[c] += bytes;
    }
  }
  for (int c = 0; c < 2; ++c) {
    std::string big(1 << 20, 'a' + c);
    big[12345] = '!';
    send_all(fds[c], big);
    sent[c] += big;
    ::shutdown(fds[c], SHUT_WR);
  }
  for (int c = 0; c < 2; ++c) {
    EXPECT_EQ(read_to_end(fds[c]), sent[c]);
    ::close(fds[c]);
  }
  EXPECT_EQ(proxy.connections(), 2);
  const long long total = static_cast<long long>(sent[0].size() + sent[1].size());
  EXPECT_EQ(proxy.bytes_to_target(), total);
  EXPECT_EQ(proxy.bytes_to_client(), total);
}

}  // namespace
