#include "tools/agent/command_entry.h"

int Command_Context::fail(int code, const std::string& line) const {
  return command_fail(command.name, code, line);
}

int Command_Context::usage_error(const std::string& why) const {
  return fail(EXIT_BAD_USAGE,
              why + " (see qingcloud-agent " + std::string(command.name) + " --help)");
}

std::string command_help(const Command_Entry& c) {
  std::string text = c.usage;
  text += group_usage(c.groups);
  text += c.example;
  return text;
}

Arg_Reader read_command_args(const Command_Entry& command, const Command_Args& words) {
  std::vector<std::string> options = command.options, flags = command.flags;
  add_group_options(command.groups, options, flags);
  return Arg_Reader(words, options, flags);
}
