#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "host/agent/instance_handler.h"
#include "host/json_spirit/writer.h"
#include "tools/agent/arg_reader.h"
#include "tools/agent/commands.h"
#include "tools/agent/host_session.h"
#include "tools/agent/plugin_loader.h"

namespace {

using Instance_Handler_Factory = Instance_Handler* (*)(Instance_Handler_Exterminator*);

const char* const FACTORY = "_make_QingCloud_Instance_Handler";

const char* const USAGE =
    "usage: qingcloud-agent probe [--plugin PATH]\n"
    "Loads the plug-in, makes its instance handler through the exported factory,\n"
    "probes it and prints each instance, its state and the logon result.\n\n"
    "options:\n"
    "  --plugin PATH   the plug-in to load (default: beside this program)\n\n"
    "example:\n"
    "  qingcloud-agent probe\n";

}  // namespace

// qingcloud-agent probe [--plugin PATH]
// Loads the plug-in, makes its instance handler through the exported factory,
// probes it and prints each instance, its state and the logon result.
int probe_command(const Command_Args& args) {
  const Arg_Reader a(args, {"--plugin"}, {});
  if (!a.ok() || !a.words().empty())
    return host_fail(
        "probe", HOST_BAD_USAGE,
        (a.ok() ? "takes no arguments" : a.error()) + " (see qingcloud-agent probe --help)");
  if (a.has("--help")) {
    std::printf("%s", USAGE);
    return HOST_OK;
  }
  const std::string path = a.value("--plugin", Plugin_Library::default_path());
  Plugin_Library plugin;
  if (!plugin.open(path))
    return host_fail("probe", HOST_BAD_USAGE,
                     "cannot load the plug-in " + path + ": " + plugin.error());
  auto make = reinterpret_cast<Instance_Handler_Factory>(plugin.symbol(FACTORY));
  if (!make)
    return host_fail("probe", HOST_BAD_USAGE,
                     std::string("the plug-in has no ") + FACTORY + ": " + plugin.error());
  Instance_Handler_Exterminator gobble = nullptr;
  Instance_Handler* handler = make(&gobble);
  if (!handler)
    return host_fail("probe", HOST_FAILED,
                     std::string(FACTORY) + " failed: " + std::strerror(errno));
  // Without its deleter the handler cannot be given back; it is left as is.
  if (!gobble) return host_fail("probe", HOST_BAD_USAGE, std::string(FACTORY) + " gave no deleter");

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
  return probed == 0 ? HOST_OK : HOST_FAILED;
}
