#pragma once

#include <string>
#include <vector>

// One sub-command of qingcloud-agent: gets the arguments after its name and
// returns the process exit code.
using Command_Args = std::vector<std::string>;

int probe_command(const Command_Args& args);
int call_command(const Command_Args& args);
int env_command(const Command_Args& args);
int login_test_command(const Command_Args& args);
int ls_command(const Command_Args& args);
int search_command(const Command_Args& args);
int tree_command(const Command_Args& args);
int rpc_command(const Command_Args& args);
int serve_command(const Command_Args& args);
int serve_url_command(const Command_Args& args);
int client_command(const Command_Args& args);
int config_command(const Command_Args& args);
