// qingcloud-agent: a small host program that loads the plug-in the way the
// backup agent does, for demonstrations and for operators.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/prctl.h>

#include "tools/agent/commands.h"
#include "tools/agent/terminal_text.h"

namespace {

struct Command {
  const char* name;
  int (*run)(const Command_Args&);
  const char* help;
};

const Command COMMANDS[] = {
    {"probe", probe_command, "load the plug-in and probe its instance handler"},
    {"call", call_command, "send one signed request to a QingCloud API endpoint"},
    {"env", env_command, "add, list, show or remove the environments the host keeps"},
    {"login-test", login_test_command, "test connection settings through the plug-in"},
    {"ls", ls_command, "list one level of an environment's inventory tree"},
    {"search", search_command, "search an environment's zones, hosts or instances"},
    {"tree", tree_command, "walk and print an environment's inventory tree"},
    {"rpc", rpc_command, "answer JSON-RPC requests on standard input, one a line"},
    {"serve", serve_command, "serve JSON-RPC over HTTP and a console for the browser"},
    {"serve-url", serve_url_command, "print the address and token of a running serve's console"},
    {"client", client_command, "run one operation of the platform's clients"},
    {"config", config_command, "set the host-wide settings kept in the home folder (the proxy)"},
};

// Also the source of the manual page (help2man): its paragraphs and the
// headings "Options:", "Environment:", "Files:" and "Examples:" become the
// page's sections.
void usage(std::FILE* out) {
  std::fprintf(out,
               "Usage: qingcloud-agent COMMAND [OPTION]... [ARG]...\n"
               "  or:  qingcloud-agent help COMMAND\n"
               "  or:  qingcloud-agent --version\n"
               "Loads the QingCloud plug-in of the backup agent the way the agent does, keeps\n"
               "the QingCloud environments (connection settings) that the plug-in reaches, and\n"
               "serves its JSON-RPC methods and a browser console, also as a system service.\n"
               "\nCommands:\n");
  for (const Command& c : COMMANDS)
    std::fprintf(out, "  %-11s %s\n", c.name, c.help);
  std::fprintf(
      out,
      "\n`qingcloud-agent help COMMAND` (or COMMAND --help) tells a command's own options.\n"
      "Exit status: 0 success, 1 a failed request or login test, 2 unusable arguments,\n"
      "home folder or plug-in.\n"
      "\nThe system service qingcloud-agent.service runs `serve` as the user\n"
      "qingcloud-agent, with the home folder /var/lib/qingcloud-agent, on the loopback\n"
      "port set in /etc/default/qingcloud-agent (8480).  `serve-url` prints its console's\n"
      "address with the access token; `env ... --home /var/lib/qingcloud-agent`, run as\n"
      "root or as that user, manages its environments.  Besides the console and POST /rpc,\n"
      "serve answers GET /healthz (\"ok\", no token needed) and GET /metrics (the Prometheus\n"
      "text format, token needed).\n"
      "\nOptions:\n"
      "  -h, --help      print this help and exit\n"
      "  --version       print the version and exit\n"
      "\nOptions of env, login-test, ls, search, tree, rpc and serve:\n"
      "  --home DIR      the host's folder (default $QINGCLOUD_AGENT_HOME, else\n"
      "                  ~/.qingcloud-agent); run as root on a folder of another user, a\n"
      "                  command takes that user's identity\n"
      "  --plugin PATH   the plug-in to load (default: beside this program)\n"
      "  --ca-file F     trust the CA certificates in F for TLS\n"
      "  --verbose       log what the plug-in logs to standard error, one event a line\n"
      "\nEnvironment:\n"
      "  QINGCLOUD_AGENT_HOME         the host's folder when --home is not given\n"
      "  QINGCLOUD_SECRET_ACCESS_KEY  the secret of the access key (env add, login-test,\n"
      "                               call, client); never taken from the command line\n"
      "\nFiles:\n"
      "  ~/.qingcloud-agent/           the host's folder: host_key.pem (its RSA key),\n"
      "                                environments.json (the environments, secrets\n"
      "                                encrypted), serve-url (while serve runs, mode 0600)\n"
      "  /var/lib/qingcloud-agent/     the system service's home folder\n"
      "  /etc/default/qingcloud-agent  the system service's port and further serve options\n"
      "\nExamples:\n"
      "  $ qingcloud-agent env list\n"
      "  $ qingcloud-agent tree UUID --view vms\n"
      "  $ sudo systemctl enable --now qingcloud-agent\n"
      "  $ sudo qingcloud-agent serve-url --home /var/lib/qingcloud-agent\n");
}

const Command* find(const char* name) {
  for (const Command& c : COMMANDS)
    if (std::strcmp(name, c.name) == 0) return &c;
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  // Keys and decrypted secrets pass through this process: it leaves no core
  // file, and other processes of the user may not read its memory.
  if (::prctl(PR_SET_DUMPABLE, 0) != 0) {
    std::fprintf(stderr, "qingcloud-agent: cannot keep secrets out of core files: %s\n",
                 std::strerror(errno));
    return 1;
  }
  if (argc < 2) {
    usage(stderr);
    return 2;
  }
  // A mistake gets one line that names it, not the whole usage.
  auto mistake = [](const std::string& line) {
    std::fprintf(stderr, "qingcloud-agent: %s (see qingcloud-agent --help)\n",
                 printable(line).c_str());
    return 2;
  };
  const std::string first = argv[1];
  if (first == "--version") {
    std::printf("qingcloud-agent %s\n", QC_VERSION);
    return 0;
  }
  if (first == "--help" || first == "-h" || (first == "help" && argc == 2)) {
    usage(stdout);
    return 0;
  }
  if (first == "help") {
    if (argc > 3) return mistake("help takes one command");
    const Command* c = find(argv[2]);
    if (!c) return mistake(std::string("no command '") + argv[2] + "'");
    return c->run(Command_Args{"--help"});
  }
  if (const Command* c = find(argv[1])) return c->run(Command_Args(argv + 2, argv + argc));
  if (first.rfind("-", 0) == 0)
    return mistake("the command comes first, its options after it, not " + first);
  return mistake("no command '" + first + "'");
}
