#pragma once

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace bench {

// A slow link on this machine: accepts TCP connections on a loopback port
// and forwards each to a target port on 127.0.0.1, holding back what goes
// either way by a fixed delay, in order.  Plain TCP (no HTTP), so TLS runs
// end to end through it.  The TCP handshake itself is not delayed.  It
// counts the connections and bytes it forwards.  One thread of its own runs
// every connection; the counts may be read from any thread.
class Delay_Proxy {
 public:
  Delay_Proxy(int target_port, std::chrono::microseconds delay);
  ~Delay_Proxy();
  Delay_Proxy(const Delay_Proxy&) = delete;
  Delay_Proxy& operator=(const Delay_Proxy&) = delete;

  // Listens on 127.0.0.1 and a free port and starts forwarding; false, with
  // the reason in `error`, when it cannot.
  bool start(std::string& error);
  int port() const { return port_; }
  std::chrono::microseconds delay() const { return delay_; }

  long long connections() const { return connections_; }
  long long bytes_to_target() const { return bytes_to_target_; }
  long long bytes_to_client() const { return bytes_to_client_; }

 private:
  void run();

  int target_port_;
  std::chrono::microseconds delay_;
  int listener_ = -1;
  int wake_[2] = {-1, -1};  // a byte here stops the thread
  int port_ = 0;
  std::thread thread_;
  std::atomic<long long> connections_{0};
  std::atomic<long long> bytes_to_target_{0};
  std::atomic<long long> bytes_to_client_{0};
};

}  // namespace bench
