#pragma once

#include <string>
#include <vector>

#include "tools/agent/arg_reader.h"
#include "tools/agent/commands.h"
#include "tools/agent/common_options.h"
#include "tools/agent/exit_code.h"

class Host_Session;
struct Settings_Args;

// What a command needs opened before it runs.
enum class Needs {
  NOTHING,  // neither the home folder nor the plug-in
  HOME,     // the home folder (its key, its store)
  PLUGIN,   // the home folder and the plug-in's handlers
};

struct Command_Context;

// One command of qingcloud-agent, as the runner reads, checks, prepares and
// runs it.
struct Command_Entry {
  const char* name;
  const char* summary;  // one line, for the program's help
  std::string usage;    // its --help up to the shared options: usage, what it does, own options
  std::string example;  // the end of its --help
  std::vector<std::string> options;  // its own options that take a value
  std::vector<std::string> flags;    // and those that do not
  unsigned groups = 0;               // the shared options it takes (Option_Group)
  Needs needs = Needs::NOTHING;
  // It takes connection settings for a login (--boss-host ...), whose secret
  // is read before the home folder is opened: a command that root runs on
  // the service's home takes its owner's identity then.
  bool takes_settings = false;
  int (*run)(Command_Context& context) = nullptr;
  // What is wrong with its words and options, checked before anything is
  // read or opened; "" when nothing is.  None: anything goes.
  std::string (*misuse)(const Arg_Reader& args) = nullptr;
};

// What a command runs with.
struct Command_Context {
  const Command_Entry& command;
  const Arg_Reader& args;
  Host_Session* session = nullptr;          // with Needs::HOME or PLUGIN
  const Settings_Args* settings = nullptr;  // with takes_settings, when some were given

  // "qingcloud-agent NAME: LINE"; returns `code`.
  int fail(int code, const std::string& line) const;
  // The same with the pointer to --help, exit status 2.
  int usage_error(const std::string& why) const;
};

// A command's whole --help text.
std::string command_help(const Command_Entry& command);

// `words` read with the options and flags that `command` takes.
Arg_Reader read_command_args(const Command_Entry& command, const Command_Args& words);
