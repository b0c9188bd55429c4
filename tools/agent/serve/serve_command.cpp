// qingcloud-agent serve: the host as a local web service with a console.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <malloc.h>
#include <pthread.h>
#include <string>

#include "tools/agent/command_entry.h"
#include "tools/agent/commands.h"
#include "tools/agent/files.h"
#include "tools/agent/host_session.h"
#include "tools/agent/serve/console_methods.h"
#include "tools/agent/serve/console_service.h"
#include "tools/agent/serve/serve_url_file.h"
#include "tools/agent/serve/service_metrics.h"
#include "tools/agent/serve/stop_waiter.h"
#include "tools/agent/serve/tls_identity.h"

namespace {

const char* const USAGE =
    "usage: qingcloud-agent serve [--listen 127.0.0.1:PORT] [--threads N]\n"
    "                      [--tls-cert F --tls-key F] [--home DIR] [--plugin PATH]\n"
    "                      [--ca-file F] [--proxy URL] [--verbose]\n"
    "Serves the host's JSON-RPC methods at POST /rpc and a console at GET / on one\n"
    "port.  The first line printed is the address to open in a browser; its fragment\n"
    "carries the access token that every call needs.  An address other machines can\n"
    "reach is served only over HTTPS.  The address is also kept in the file serve-url\n"
    "of the home folder (mode 0600) while serve runs, for `qingcloud-agent\n"
    "serve-url`; when standard output is the journal, only the address without its\n"
    "token is printed.  GET /healthz answers \"ok\" without the token, for\n"
    "monitoring; GET /metrics gives the metrics in the Prometheus text format.\n"
    "Stops on SIGINT or SIGTERM, after the requests in flight, or ends without them\n"
    "20 s later.\n\n"
    "options:\n"
    "  --listen A:P        the address and port to listen on (default 127.0.0.1:0, a free port)\n"
    "  --threads N         requests handled at once (default 4)\n"
    "  --tls-cert F        serve HTTPS with the PEM certificate in F (its chain after it)\n"
    "  --tls-key F         and the PEM private key in F, which others may not read\n";

const char* const EXAMPLE =
    "\nexample:\n  qingcloud-agent serve --listen 127.0.0.1:8480\n"
    "  qingcloud-agent serve --listen 0.0.0.0:8443 --tls-cert cert.pem --tls-key key.pem\n";

std::string misuse(const Arg_Reader& a) {
  const std::string threads = a.value("--threads", "4");
  const int n = std::atoi(threads.c_str());
  if (!a.words().empty() || n < 1 || n > 64 ||
      threads.find_first_not_of("0123456789") != std::string::npos)
    return "takes --listen A:P and --threads 1 to 64";
  if (a.has("--tls-cert") != a.has("--tls-key")) return "--tls-cert and --tls-key go together";
  return std::string();
}

int serve(Command_Context& c) {
  const Arg_Reader& a = c.args;
  const int threads = std::atoi(a.value("--threads", "4").c_str());
  // Answers of hundreds of KiB, and now and then of many MiB, come and go
  // for as long as serve runs.  glibc maps the large ones outside the heap,
  // so that each gives its memory back as it goes, but it raises that
  // threshold whenever one is freed, up to 32 MiB; then they all fill the
  // heap with their fragments, and memory grows.  The threshold stays at
  // glibc's own first value.
  mallopt(M_MMAP_THRESHOLD, 128 * 1024);

  // The signals go to one thread that waits for them, so that every other
  // thread (the handlers among them) runs undisturbed.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

  Host_Session& session = *c.session;
  std::string error;
  Tls_Identity tls;
  if (a.has("--tls-cert") && !tls.load(a.value("--tls-cert"), a.value("--tls-key"), error))
    return c.fail(EXIT_BAD_USAGE, error);
  // One serve a home: serve-url belongs to the one that runs.
  const std::string home = session.home().dir();
  File_Lock running;
  bool held = false;
  if (!running.try_lock(home + "/serve.lock", held, error)) {
    if (!held) return c.fail(EXIT_BAD_USAGE, error);
    secure_string other;
    bool missing = false;
    std::string why;
    read_serve_url(home, other, missing, why);
    // Its address, never its token.
    const std::size_t token = other.find("/#token=");
    const std::string at =
        missing || token == secure_string::npos ? "" : " at " + std::string(other.data(), token);
    return c.fail(EXIT_BAD_USAGE, "another serve runs on the home folder " + home + at +
                                      "; stop it first, or give this one --home of its own");
  }
  add_console_methods(session.host(), session.home());
  Console_Service service(session.host());
  // The store is read afresh, as for every other use; one that cannot be
  // read counts none (the requests that need it report why).
  Service_Metrics metrics([&session] {
    Agent_Home::Environments kept;
    std::string ignored;
    return session.home().environments(kept, ignored) ? kept.size() : 0;
  });
  session.host().observe_requests(&metrics);
  service.serve_metrics(metrics);
  Console_Options options;
  options.listen = a.value("--listen", options.listen);
  options.threads = threads;
  options.tls_cert = tls.cert();
  options.tls_chain = tls.chain();
  options.tls_key = tls.key();
  if (!service.bind(options, error)) return c.fail(EXIT_BAD_USAGE, error);
  if (!announce_serve_url(home, service.url(), error)) return c.fail(EXIT_FAILED, error);
  set_http_exchange_observer(
      [&metrics](const HTTP_Exchange_Outcome& o) { metrics.platform_exchange(o); });

  {
    Stop_Waiter waiter(
        stop_signals, [&service] { service.stop(); },
        [&home, url = service.url()] {
          std::string why;
          if (!remove_serve_url(home, url, why)) command_fail("serve", EXIT_FAILED, why);
        });
    service.run();
  }
  set_http_exchange_observer(nullptr);
  if (!remove_serve_url(home, service.url(), error)) return c.fail(EXIT_FAILED, error);
  return EXIT_OK;
}

}  // namespace

const Command_Entry SERVE_COMMAND = {"serve",
                                     "serve JSON-RPC over HTTP and a console for the browser",
                                     USAGE,
                                     EXAMPLE,
                                     {"--listen", "--threads", "--tls-cert", "--tls-key"},
                                     {},
                                     HOST_OPTIONS,
                                     Needs::PLUGIN,
                                     false,
                                     serve,
                                     misuse};
