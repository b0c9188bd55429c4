#include "tools/agent/secret_prompt.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <termios.h>
#include <unistd.h>

#include "host/support/secure_memset.h"

namespace {

// A secret longer than this is not a secret key.
constexpr std::size_t MAX_SECRET = 4096;

const int STOP_SIGNALS[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// What the signal handler needs to give the terminal its echo back.
int quiet_fd = -1;
struct termios saved_modes;

extern "C" void restore_and_stop(int signal) {
  ::tcsetattr(quiet_fd, TCSANOW, &saved_modes);
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

// Echo off while it lives, with the stop signals caught so that they give
// it back before they end the program.
class Quiet_Terminal {
 public:
  bool start(int fd, std::string& error) {
    if (::tcgetattr(fd, &saved_modes) != 0) {
      error = std::string("cannot ask for the secret: ") + std::strerror(errno);
      return false;
    }
    quiet_fd = fd;
    struct sigaction caught {};
    caught.sa_handler = restore_and_stop;
    sigemptyset(&caught.sa_mask);
    for (std::size_t i = 0; i < std::size(STOP_SIGNALS); ++i)
      ::sigaction(STOP_SIGNALS[i], &caught, &previous_[i]);
    struct termios quiet = saved_modes;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    if (::tcsetattr(fd, TCSAFLUSH, &quiet) != 0) {
      error = std::string("cannot turn the terminal's echo off: ") + std::strerror(errno);
      stop();
      return false;
    }
    started_ = true;
    return true;
  }
  ~Quiet_Terminal() {
    if (started_) stop();
  }

 private:
  void stop() {
    ::tcsetattr(quiet_fd, TCSAFLUSH, &saved_modes);
    for (std::size_t i = 0; i < std::size(STOP_SIGNALS); ++i)
      ::sigaction(STOP_SIGNALS[i], &previous_[i], nullptr);
    started_ = false;
  }

  bool started_ = false;
  struct sigaction previous_[std::size(STOP_SIGNALS)];
};

}  // namespace

bool ask_secret(int fd, const char* question, secure_string& secret, std::string& error) {
  if (!::isatty(fd)) {
    error = "cannot ask for the secret: standard input is no terminal";
    return false;
  }
  secret.clear();
  secret.reserve(MAX_SECRET);
  {
    Quiet_Terminal quiet;
    if (!quiet.start(fd, error)) return false;
    std::fputs(question, stderr);
    std::fflush(stderr);
    char c = 0;
    for (;;) {
      const ssize_t n = ::read(fd, &c, 1);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0 || c == '\n') break;
      if (secret.size() == MAX_SECRET) {
        error = "the secret typed is longer than " + std::to_string(MAX_SECRET) + " bytes";
        break;
      }
      secret.push_back(c);
    }
    secure_memset(&c, 0, sizeof c);
  }
  // The Enter key was not echoed.
  std::fputc('\n', stderr);
  if (!secret.empty() && secret.back() == '\r') secret.pop_back();
  if (error.empty() && secret.empty()) error = "no secret typed";
  if (!error.empty()) secret.clear();
  return error.empty();
}
