#pragma once

#include <string>
#include <sys/types.h>

#include "testing/program_run.h"

namespace testing_support {

// A real HTTP proxy for tests: Debian's tinyproxy, started on 127.0.0.1 and
// a free port with a configuration of its own in a temporary folder, and
// stopped when this goes away.  It forwards plain HTTP requests and tunnels
// CONNECT to any port; its log (at level Info) names every request.
class Tinyproxy {
 public:
  struct Options {
    std::string user;  // with `password`: the proxy asks for them (407)
    std::string password;
    bool refuse_all = false;  // every client gets 403, as from a site's deny list
  };

  Tinyproxy() : Tinyproxy(Options()) {}
  explicit Tinyproxy(Options options);
  ~Tinyproxy();
  Tinyproxy(const Tinyproxy&) = delete;
  Tinyproxy& operator=(const Tinyproxy&) = delete;

  // Whether it runs (a test fails otherwise, with the reason).
  bool running() const { return pid_ > 0; }
  int port() const { return port_; }
  // "http://127.0.0.1:PORT", without credentials.
  std::string url() const;
  // The same with the credentials of the options.
  std::string url_with_credentials() const;
  // What it has logged so far.
  std::string log() const;

 private:
  bool start(const Options& options);

  Options options_;
  Temp_Dir dir_;
  int port_ = 0;
  pid_t pid_ = -1;
};

}  // namespace testing_support
