// qingcloud-agent: a small host program that loads the plug-in the way the
// backup agent does, for demonstrations and for operators.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/prctl.h>

#include "tools/agent/command_runner.h"
#include "tools/agent/commands.h"

namespace {

const std::vector<const Command_Entry*> COMMANDS = {
    &PROBE_COMMAND, &CALL_COMMAND,      &ENV_COMMAND,    &LOGIN_TEST_COMMAND,
    &LS_COMMAND,    &SEARCH_COMMAND,    &TREE_COMMAND,   &RPC_COMMAND,
    &SERVE_COMMAND, &SERVE_URL_COMMAND, &CLIENT_COMMAND, &CONFIG_COMMAND,
};

// The commands that take a group of shared options, for the program's help.
std::string taking(unsigned group) {
  std::string names;
  for (const Command_Entry* c : COMMANDS)
    if (c->groups & group) names += std::string(names.empty() ? "" : ", ") + c->name;
  return names;
}

// Also the source of the manual page (help2man): its paragraphs and the
// headings "Options:", "Environment:", "Files:" and "Examples:" become the
// page's sections; each command's own --help follows it there.
void usage(std::FILE* out) {
  std::fprintf(out,
               "Usage: qingcloud-agent COMMAND [OPTION]... [ARG]...\n"
               "  or:  qingcloud-agent help COMMAND\n"
               "  or:  qingcloud-agent --version\n"
               "Loads the QingCloud plug-in of the backup agent the way the agent does, keeps\n"
               "the QingCloud environments (connection settings) that the plug-in reaches, and\n"
               "serves its JSON-RPC methods and a browser console, also as a system service.\n"
               "\nCommands:\n");
  for (const Command_Entry* c : COMMANDS)
    std::fprintf(out, "  %-11s %s\n", c->name, c->summary);
  std::fprintf(
      out,
      "\n`qingcloud-agent help COMMAND` (or COMMAND --help) tells a command's own options;\n"
      "--name=VALUE is --name VALUE.  Exit status: 0 success, 1 a failed request, login\n"
      "test or store write, 2 unusable arguments, home folder or plug-in.\n"
      "\nThe system service qingcloud-agent.service runs `serve` as the user\n"
      "qingcloud-agent, with the home folder /var/lib/qingcloud-agent, on the loopback\n"
      "port set in /etc/default/qingcloud-agent (8480).  `serve-url` prints its console's\n"
      "address with the access token; `env ... --home /var/lib/qingcloud-agent`, run as\n"
      "root or as that user, manages its environments.\n"
      "\nOptions:\n"
      "  -h, --help          print this help and exit\n"
      "  --version           print the version and exit\n"
      "\nOptions of %s:\n%s"
      "\nOptions of %s:\n%s",
      taking(HOST_OPTIONS).c_str(), group_usage(HOST_OPTIONS).c_str(),
      taking(CONNECTION_OPTIONS).c_str(), group_usage(CONNECTION_OPTIONS).c_str());
  std::fprintf(
      out,
      "\nEnvironment:\n"
      "  QINGCLOUD_AGENT_HOME         the host's folder when --home is not given\n"
      "  QINGCLOUD_SECRET_ACCESS_KEY  the secret of the access key (env add, login-test,\n"
      "                               call, client); never taken from the command line\n"
      "  https_proxy, http_proxy, no_proxy\n"
      "                               the proxy towards the platform, when neither --proxy\n"
      "                               nor `config set proxy` names one\n"
      "\nFiles:\n"
      "  ~/.qingcloud-agent/           the host's folder (mode 0700): host_key.pem (its RSA\n"
      "                                key, 0600), host_key.pub.pem (its public half),\n"
      "                                environments.json (the environments, secrets\n"
      "                                encrypted), config.json (the proxy), agent.lock\n"
      "                                (taken by every change), serve.lock (held while a\n"
      "                                serve runs) and serve-url (its address, 0600)\n"
      "  /var/lib/qingcloud-agent/     the system service's home folder\n"
      "  /etc/default/qingcloud-agent  the system service's port and further serve options\n"
      "\nExamples:\n"
      "  $ qingcloud-agent env add --boss-host boss.example.com --api-host api.example.com \\\n"
      "        --access-key-id QYACCESSKEYEXAMPLE\n"
      "  $ qingcloud-agent env list\n"
      "  $ qingcloud-agent tree UUID --view vms\n"
      "  $ sudo systemctl enable --now qingcloud-agent\n"
      "  $ sudo qingcloud-agent serve-url --home /var/lib/qingcloud-agent\n");
}

}  // namespace

int main(int argc, char** argv) {
  // Keys and decrypted secrets pass through this process: it leaves no core
  // file, and other processes of the user may not read its memory.
  if (::prctl(PR_SET_DUMPABLE, 0) != 0) {
    std::fprintf(stderr, "qingcloud-agent: cannot keep secrets out of core files: %s\n",
                 std::strerror(errno));
    return EXIT_FAILED;
  }
  return run_command_line(argc, argv, COMMANDS, usage);
}
