// qingcloud-agent serve: the host as a local web service with a console.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <pthread.h>
#include <string>
#include <thread>

#include "tools/agent/commands.h"
#include "tools/agent/console_methods.h"
#include "tools/agent/console_service.h"
#include "tools/agent/host_session.h"

namespace {

const char* const USAGE =
    "usage: qingcloud-agent serve [--listen 127.0.0.1:PORT] [--threads N]\n"
    "Serves the host's JSON-RPC methods at POST /rpc and a console at GET / on one\n"
    "loopback port.  The first line printed is the address to open in a browser; it\n"
    "carries the access token that every request needs.  Stops on SIGINT or SIGTERM,\n"
    "after the requests in flight.\n\n"
    "options:\n"
    "  --listen A:P    the address and port to listen on (default 127.0.0.1:0, a free port)\n"
    "  --threads N     handler threads (default 4)\n";

const char* const EXAMPLE = "\nexample:\n  qingcloud-agent serve --listen 127.0.0.1:8480\n";

}  // namespace

int serve_command(const Command_Args& args) {
  Arg_Reader a(args, with_host_options({"--listen", "--threads"}), with_host_flags({}));
  if (!a.ok())
    return host_fail("serve", HOST_BAD_USAGE, a.error() + " (see qingcloud-agent serve --help)");
  if (a.has("--help")) {
    std::printf("%s%s%s", USAGE, HOST_OPTIONS_USAGE, EXAMPLE);
    return HOST_OK;
  }
  const std::string threads_text = a.value("--threads", "4");
  const int threads = std::atoi(threads_text.c_str());
  if (!a.words().empty() || threads < 1 || threads > 64 ||
      threads_text.find_first_not_of("0123456789") != std::string::npos)
    return host_fail("serve", HOST_BAD_USAGE,
                     "takes --listen A:P and --threads 1 to 64 (see qingcloud-agent serve --help)");

  // The signals go to one thread that waits for them, so that every other
  // thread (the handlers among them) runs undisturbed.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

  Host_Session session;
  std::string error;
  if (!session.open(a, true, error)) return host_fail("serve", HOST_BAD_USAGE, error);
  add_console_methods(session.host(), session.home());
  Console_Service service(session.host());
  if (!service.bind(a.value("--listen", "127.0.0.1:0"), threads, error))
    return host_fail("serve", HOST_BAD_USAGE, error);
  std::printf("%s\n", service.url().c_str());
  std::fflush(stdout);

  std::thread waiter([&service, stop_signals] {
    int signal = 0;
    sigwait(&stop_signals, &signal);
    service.stop();
  });
  service.run();
  // Stopped by a signal, or the server failed on its own: let the waiter go.
  pthread_kill(waiter.native_handle(), SIGTERM);
  waiter.join();
  return HOST_OK;
}
