#include "tools/agent/command_runner.h"

#include <exception>
#include <optional>

#include "tools/agent/host_session.h"
#include "tools/agent/settings_args.h"

namespace {

const Command_Entry* find(const std::vector<const Command_Entry*>& commands,
                          const std::string& name) {
  for (const Command_Entry* c : commands)
    if (name == c->name) return c;
  return nullptr;
}

int run(const Command_Entry& command, const Command_Args& words) {
  const Arg_Reader args = read_command_args(command, words);
  Command_Context context{command, args};
  if (!args.ok()) return context.usage_error(args.error());
  if (args.has("--help")) {
    std::fputs(command_help(command).c_str(), stdout);
    return EXIT_OK;
  }
  if (command.misuse) {
    const std::string why = command.misuse(args);
    if (!why.empty()) return context.usage_error(why);
  }
  std::string error;
  std::optional<Settings_Args> settings;
  if (command.takes_settings && has_settings(args)) {
    settings.emplace();
    if (!read_settings_args(args, *settings, error)) return context.fail(EXIT_BAD_USAGE, error);
    context.settings = &*settings;
  }
  std::optional<Host_Session> session;
  if (command.needs != Needs::NOTHING) {
    session.emplace();
    if (!session->open(args, command.needs == Needs::PLUGIN, error))
      return context.fail(EXIT_BAD_USAGE, error);
    context.session = &*session;
  }
  return command.run(context);
}

}  // namespace

int run_command_line(int argc, char** argv, const std::vector<const Command_Entry*>& commands,
                     void (*program_usage)(std::FILE* out)) {
  if (argc < 2) {
    program_usage(stderr);
    return EXIT_BAD_USAGE;
  }
  // A mistake gets one line that names it, not the whole usage.
  auto mistake = [](const std::string& line) {
    return command_fail("", EXIT_BAD_USAGE, line + " (see qingcloud-agent --help)");
  };
  const std::string first = argv[1];
  if (first == "--version") {
    std::printf("qingcloud-agent %s\n", QC_VERSION);
    return EXIT_OK;
  }
  if (first == "--help" || first == "-h" || (first == "help" && argc == 2)) {
    program_usage(stdout);
    return EXIT_OK;
  }
  if (first == "help") {
    if (argc > 3) return mistake("help takes one command");
    const Command_Entry* c = find(commands, argv[2]);
    if (!c) return mistake(std::string("no command '") + argv[2] + "'");
    std::fputs(command_help(*c).c_str(), stdout);
    return EXIT_OK;
  }
  const Command_Entry* c = find(commands, first);
  if (!c) {
    if (first.rfind("-", 0) == 0)
      return mistake("the command comes first, its options after it, not " + first);
    return mistake("no command '" + first + "'");
  }
  try {
    return run(*c, Command_Args(argv + 2, argv + argc));
  } catch (const std::exception& e) {
    return command_fail(c->name, EXIT_FAILED, std::string("unexpected failure: ") + e.what());
  }
}
