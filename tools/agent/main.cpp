// qingcloud-agent: a small host program that loads the plug-in the way the
// backup agent does, for demonstrations and for operators.
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/agent/commands.h"

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
};

void usage(std::FILE* out) {
  std::fprintf(out,
               "usage: qingcloud-agent COMMAND [ARGS...]\n"
               "       qingcloud-agent help COMMAND     (or COMMAND --help)\n"
               "       qingcloud-agent --version\n\ncommands:\n");
  for (const Command& c : COMMANDS)
    std::fprintf(out, "  %-11s %s\n", c.name, c.help);
}

const Command* find(const char* name) {
  for (const Command& c : COMMANDS)
    if (std::strcmp(name, c.name) == 0) return &c;
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    usage(stderr);
    return 2;
  }
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
    const Command* c = find(argv[2]);
    if (!c || argc > 3) {
      usage(stderr);
      return 2;
    }
    return c->run(Command_Args{"--help"});
  }
  if (const Command* c = find(argv[1])) return c->run(Command_Args(argv + 2, argv + argc));
  usage(stderr);
  return 2;
}
