// qingcloud-agent serve-url: the console's address with its token, from the
// home folder of a running serve.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/agent/agent_home.h"
#include "tools/agent/arg_reader.h"
#include "tools/agent/command_entry.h"
#include "tools/agent/commands.h"
#include "tools/agent/home_owner.h"
#include "tools/agent/host_session.h"
#include "tools/agent/serve/serve_url_file.h"

namespace {

const char* const USAGE =
    "usage: qingcloud-agent serve-url [--home DIR]\n"
    "Prints the address of the console that a running `qingcloud-agent serve` with this\n"
    "home folder serves, with its access token: serve keeps it in the file serve-url of\n"
    "its home folder (mode 0600) instead of a log that others may read.  Run it as the\n"
    "service's user or as root.  Exit 1 when no serve is running with that home folder.\n\n"
    "options:\n";

const char* const EXAMPLE =
    "\nexample:\n"
    "  sudo qingcloud-agent serve-url --home /var/lib/qingcloud-agent\n";

std::string misuse(const Arg_Reader& a) {
  return a.words().empty() ? std::string() : "takes no words, only --home DIR";
}

int serve_url(Command_Context& c) {
  const Arg_Reader& a = c.args;
  const std::string dir =
      Agent_Home::choose(a.value("--home"), [](const char* name) { return std::getenv(name); });
  secure_string url;
  bool missing = false;
  std::string error;
  // Root reads the service's file as the service's user, whose alone it is.
  if (!act_as_home_owner(dir, error)) return c.fail(EXIT_BAD_USAGE, error);
  if (!read_serve_url(dir, url, missing, error)) return c.fail(EXIT_FAILED, error);
  if (missing)
    return c.fail(EXIT_FAILED, "no serve is running with the home folder " + dir + " (no " +
                                   serve_url_path(dir) + ")");
  std::fwrite(url.data(), 1, url.size(), stdout);
  std::fputc('\n', stdout);
  return EXIT_OK;
}

}  // namespace

const Command_Entry SERVE_URL_COMMAND = {
    "serve-url", "print the address and token of a running serve's console",
    USAGE,       EXAMPLE,
    {},          {},
    HOME_OPTION, Needs::NOTHING,
    false,       serve_url,
    misuse};
