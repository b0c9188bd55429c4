#pragma once

#include <string>
#include <vector>

// The arguments of one command, after its name.
using Command_Args = std::vector<std::string>;

struct Command_Spec;

// The commands of qingcloud-agent, in the order its help lists them; each is
// defined beside its work.
extern const Command_Spec PROBE_COMMAND;
extern const Command_Spec CALL_COMMAND;
extern const Command_Spec ENV_COMMAND;
extern const Command_Spec LOGIN_TEST_COMMAND;
extern const Command_Spec LS_COMMAND;
extern const Command_Spec SEARCH_COMMAND;
extern const Command_Spec TREE_COMMAND;
extern const Command_Spec RPC_COMMAND;
extern const Command_Spec SERVE_COMMAND;
extern const Command_Spec SERVE_URL_COMMAND;
extern const Command_Spec CLIENT_COMMAND;
extern const Command_Spec CONFIG_COMMAND;
