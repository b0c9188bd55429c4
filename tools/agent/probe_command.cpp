#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "host/agent/instance_handler.h"
#include "host/json_spirit/writer.h"
#include "tools/agent/command_entry.h"
#include "tools/agent/commands.h"
#include "tools/agent/plugin_loader.h"

namespace {

const char* const FACTORY = "_make_QingCloud_Instance_Handler";

const char* const USAGE =
    "usage: qingcloud-agent probe [--plugin PATH]\n"
    "Loads the plug-in, makes its instance handler through the exported factory,\n"
    "probes it and prints each instance, its state and the logon result.  Exit 1 when\n"
    "the probe fails, 2 when the plug-in cannot be loaded or gives no handler.\n\n"
    "options:\n"
    "  --plugin PATH       the plug-in to load (default: beside this program)\n";

const char* const EXAMPLE = "\nexample:\n  qingcloud-agent probe\n";

int probe(Command_Context& c) {
  if (!c.args.words().empty()) return c.usage_error("takes no arguments");
  const std::string path = c.args.value("--plugin", Plugin_Library::default_path());
  Plugin_Library plugin;
  if (!plugin.open(path))
    return c.fail(EXIT_BAD_USAGE, "cannot load the plug-in " + path + ": " + plugin.error());
  Instance_Handler* handler = nullptr;
  Instance_Handler_Exterminator gobble = nullptr;
  std::string error;
  if (!make_handler(plugin, FACTORY, handler, gobble, error)) return c.fail(EXIT_BAD_USAGE, error);
  instances_type instances;
  int probed = handler->probe_instances(instances);
  std::printf("plug-in:  %s\n", path.c_str());
  std::printf("type:     %s\n", handler->type_name().c_str());
  std::printf("probe:    %d, %zu instance(s)\n", probed, instances.size());
  for (const auto& [name, instance] : instances) {
    std::string state;
    handler->get_state(name.c_str(), state);
    int logon = handler->logon(name.c_str(), "", "", nullptr);
    std::printf("instance: %s\n", name.c_str());
    std::printf("  type:    %s\n", instance->type.c_str());
    std::printf("  options: %s\n", json_spirit::JSON_Dump(instance->options, false).c_str());
    std::printf("  state:   %s\n", state.c_str());
    std::printf("  logon:   %d\n", logon);
  }
  gobble(handler);
  return probed == 0 ? EXIT_OK : EXIT_FAILED;
}

}  // namespace

const Command_Entry PROBE_COMMAND = {"probe",
                                     "load the plug-in and probe its instance handler",
                                     USAGE,
                                     EXAMPLE,
                                     {"--plugin"},
                                     {},
                                     0,
                                     Needs::NOTHING,
                                     false,
                                     probe};
