#include "testing/tinyproxy.h"

#include <arpa/inet.h>
#include <chrono>
#include <cstdint>
#include <fcntl.h>
#include <fstream>
#include <netinet/in.h>
#include <sstream>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

#include "testing/child_process.h"

namespace testing_support {
namespace {

constexpr const char* PROGRAM = "/usr/bin/tinyproxy";

// A port that was free a moment ago.
int free_port() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  int port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
    port = ntohs(address.sin_port);
  ::close(fd);
  return port;
}

bool accepts(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return ok;
}

}  // namespace

Tinyproxy::Tinyproxy(Options options) : options_(std::move(options)) {
  // Another program may take the chosen port first: a few tries.
  for (int attempt = 0; attempt < 3 && !running(); ++attempt)
    start(options_);
  EXPECT_TRUE(running()) << "tinyproxy does not start (is Debian's tinyproxy installed? "
                            "scripts/install-deps.sh installs it); its output: "
                         << log();
}

Tinyproxy::~Tinyproxy() {
  // tinyproxy can miss a SIGTERM that comes between its loop's check and
  // its next poll: stop_child kills it then.
  if (pid_ > 0) stop_child(pid_, "tinyproxy");
}

bool Tinyproxy::start(const Options& options) {
  port_ = free_port();
  const std::string config = dir_.path() + "/tinyproxy.conf";
  {
    std::ofstream out(config);
    out << "Port " << port_ << "\n"
        << "Listen 127.0.0.1\n"
        << "Timeout 30\n"
        << "LogFile \"" << dir_.path() << "/tinyproxy.log\"\n"
        << "LogLevel Info\n"
        << "MaxClients 32\n"
        << "DisableViaHeader Yes\n"
        // A client allowed from nowhere it could come from is refused.
        << "Allow " << (options.refuse_all ? "192.0.2.1" : "127.0.0.1") << "\n";
    if (!options.user.empty())
      out << "BasicAuth " << options.user << " " << options.password << "\n";
  }
  const std::string output = dir_.path() + "/output";
  const int out = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  const pid_t pid = start_child({PROGRAM, "-d", "-c", config}, {-1, out, out});
  if (out >= 0) ::close(out);
  if (pid < 0) return false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (std::chrono::steady_clock::now() < deadline) {
    int status = 0;
    if (wait_child(pid, std::chrono::milliseconds(0), status)) return false;  // it gave up
    if (accepts(port_)) {
      pid_ = pid;
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  stop_child(pid, "tinyproxy");
  return false;
}

std::string Tinyproxy::url() const {
  return "http://127.0.0.1:" + std::to_string(port_);
}

std::string Tinyproxy::url_with_credentials() const {
  return "http://" + options_.user + ":" + options_.password +
         "@127.0.0.1:" + std::to_string(port_);
}

std::string Tinyproxy::log() const {
  std::ostringstream text;
  for (const char* name : {"/tinyproxy.log", "/output"}) {
    std::ifstream in(dir_.path() + name);
    text << in.rdbuf();
  }
  return text.str();
}

}  // namespace testing_support
