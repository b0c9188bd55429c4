// qingcloud-agent rpc: JSON-RPC 2.0 over standard input and output, one
// message a line, as a console would talk to the host.
#include <cstdio>
#include <iostream>
#include <string>

#include "host/json_spirit/writer.h"
#include "tools/agent/command_entry.h"
#include "tools/agent/commands.h"
#include "tools/agent/host_session.h"
#include "tools/agent/terminal_text.h"

namespace {

const char* const USAGE =
    "usage: qingcloud-agent rpc\n"
    "Reads JSON-RPC 2.0 requests from standard input, one a line, and writes each answer\n"
    "as one line: \"qingcloud.list\" goes to the plug-in's list handler, \"qingcloud.login\"\n"
    "to its login handler, with the params as the console sends them.\n\n"
    "options:\n";

const char* const EXAMPLE =
    "\nexample:\n"
    "  echo '{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"qingcloud.list\","
    "\"params\":{\"uuid\":\"U\",\"subtype\":\"inventory\"}}' | qingcloud-agent rpc\n";

std::string misuse(const Arg_Reader& a) {
  return a.words().empty() ? std::string() : "takes no arguments";
}

int rpc(Command_Context& c) {
  Host_Session& session = *c.session;
  std::string line;
  while (std::getline(std::cin, line)) {
    if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
    const json_spirit::Value answer = session.host().handle_text(line);
    if (answer.is_null()) continue;
    std::printf("%s\n", printable_json(json_spirit::JSON_Dump(answer, false).str()).c_str());
    std::fflush(stdout);
  }
  return EXIT_OK;
}

}  // namespace

const Command_Entry RPC_COMMAND = {
    "rpc",        "answer JSON-RPC requests on standard input, one a line",
    USAGE,        EXAMPLE,
    {},           {},
    HOST_OPTIONS, Needs::PLUGIN,
    false,        rpc,
    misuse};
