#pragma once

#include <cstdio>
#include <vector>

#include "tools/agent/command_entry.h"

// The program: finds the command named first in `argv`, reads its
// arguments, answers --help, opens what it needs, runs it and catches what
// escapes, printing every failure once, with the command's name.
// `program_usage` prints the program's own help.
int run_command_line(int argc, char** argv, const std::vector<const Command_Entry*>& commands,
                     void (*program_usage)(std::FILE* out));
