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
    {"client", client_command, "run one operation of the platform's clients"},
};

void usage() {
  std::fprintf(stderr, "usage: qingcloud-agent COMMAND [ARGS...]\n\ncommands:\n");
  for (const Command& c : COMMANDS)
    std::fprintf(stderr, "  %-11s %s\n", c.name, c.help);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    usage();
    return 2;
  }
  for (const Command& c : COMMANDS) {
    if (std::strcmp(argv[1], c.name) == 0) return c.run(Command_Args(argv + 2, argv + argc));
  }
  usage();
  return 2;
}
