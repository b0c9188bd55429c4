#pragma once

#include <string>
#include <vector>

// The arguments of one command, after its name.
using Command_Args = std::vector<std::string>;

struct Command_Entry;

// The commands of qingcloud-agent, in the order its help lists them; each is
// defined beside its work.
extern const Command_Entry PROBE_COMMAND;
extern const Command_Entry CALL_COMMAND;
extern const Command_Entry ENV_COMMAND;
extern const Command_Entry LOGIN_TEST_COMMAND;
extern const Command_Entry LS_COMMAND;
extern const Command_Entry SEARCH_COMMAND;
extern const Command_Entry TREE_COMMAND;
extern const Command_Entry RPC_COMMAND;
extern const Command_Entry SERVE_COMMAND;
extern const Command_Entry SERVE_URL_COMMAND;
extern const Command_Entry CLIENT_COMMAND;
extern const Command_Entry CONFIG_COMMAND;
