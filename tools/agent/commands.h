#pragma once

#include <string>
#include <vector>

// One sub-command of qingcloud-agent: gets the arguments after its name and
// returns the process exit code.
using Command_Args = std::vector<std::string>;

int probe_command(const Command_Args& args);
int call_command(const Command_Args& args);
