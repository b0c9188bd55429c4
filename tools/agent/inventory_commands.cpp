// qingcloud-agent ls, search and tree: the console's inventory requests
// through the plug-in's list handler.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "host/json_spirit/writer.h"
#include "tools/agent/command_entry.h"
#include "tools/agent/commands.h"
#include "tools/agent/host_session.h"
#include "tools/agent/node_text.h"
#include "tools/agent/terminal_text.h"
#include "tools/agent/tree_walker.h"

namespace {

using json_spirit::Object;
using json_spirit::Value;

const char* const LS_USAGE =
    "usage: qingcloud-agent ls UUID [--view hosts|vms|recovery] [--type T] [--moid M]\n"
    "                      [--zone Z] [--table]\n"
    "Lists the children of one node of the inventory tree (the zones without --type).\n\n"
    "options:\n"
    "  --view V            hosts (default), vms or recovery\n"
    "  --type T            the type of the node to expand: Zone, HostSystem, VirtualMachine, User, "
    "Vxnet\n"
    "  --moid M            the id of the node to expand\n"
    "  --zone Z            the zone of the node to expand\n"
    "  --table             one line per node instead of JSON\n";
const char* const LS_EXAMPLE =
    "\nexample:\n  qingcloud-agent ls 3f0c8a5e-1b2d-4c6e-9f7a-0123456789ab --type Zone --moid "
    "pek3a\n";

const char* const SEARCH_USAGE =
    "usage: qingcloud-agent search UUID --type Zone|HostSystem|VirtualMachine [TEXT] [--table]\n"
    "Finds the zones, physical hosts or instances whose name holds TEXT, ignoring case,\n"
    "in every zone.\n\n"
    "options:\n"
    "  --type T            what to look for\n"
    "  --table             one line per node instead of JSON\n";
const char* const SEARCH_EXAMPLE =
    "\nexample:\n  qingcloud-agent search 3f0c8a5e-1b2d-4c6e-9f7a-0123456789ab --type "
    "VirtualMachine "
    "web\n";

const char* const TREE_USAGE =
    "usage: qingcloud-agent tree UUID [--view hosts|vms|recovery] [--depth N] [--jobs N]\n"
    "Walks the inventory tree the way the console does and prints it, one node a line.\n"
    "Interrupted (SIGINT), it ends after the line it is printing, with exit status 130.\n\n"
    "options:\n"
    "  --view V            hosts (default), vms or recovery\n"
    "  --depth N           stop N levels below the top (default: the whole tree)\n"
    "  --jobs N            expand up to N nodes at once, 1 to 64 (default 4); the tree\n"
    "                      prints the same\n";
const char* const TREE_EXAMPLE =
    "\nexample:\n  qingcloud-agent tree 3f0c8a5e-1b2d-4c6e-9f7a-0123456789ab --view vms\n";

// Sends one list request; prints the error line and its reason and gives
// null on failure.
Value list_request(const char* command, Host_Session& session, Object params) {
  Value answer = session.host().request(Agent_Host::LIST_METHOD, params);
  if (!answer_error(answer).empty()) {
    answer_fail(command, answer);
    return Value();
  }
  return std::move(answer.get_obj()["result"]);
}

// An environment the home does not keep is named before anything is sent.
bool kept(const char* command, Host_Session& session, const std::string& uuid) {
  Object ignored;
  if (session.home().environment(uuid, ignored)) return true;
  command_fail(command, EXIT_FAILED, "no environment " + uuid);
  return false;
}

void print_nodes(const Value& nodes, bool table) {
  if (!table) {
    std::printf("%s\n", printable_json(json_spirit::JSON_Dump(nodes, true).str()).c_str());
    return;
  }
  if (nodes.type() != json_spirit::array_type) return;
  for (const Value& node : nodes.get_array())
    std::printf("%s\n", node_line(node).c_str());
}

std::string ls_misuse(const Arg_Reader& a) {
  if (a.words().size() != 1) return "want one UUID";
  const std::string type = a.value("--type");
  // What lies below a zone is asked for in its zone.
  if ((type == "HostSystem" || type == "VirtualMachine" || type == "Vxnet") && !a.has("--zone"))
    return "--type " + type + " lists what lies in one zone: --zone is needed";
  return std::string();
}

int ls(Command_Context& c) {
  const Arg_Reader& a = c.args;
  if (!kept("ls", *c.session, a.words()[0])) return EXIT_FAILED;
  const Value nodes = list_request("ls", *c.session,
                                   Object{{"uuid", a.words()[0]},
                                          {"subtype", "inventory"},
                                          {"view", a.value("--view", "hosts")},
                                          {"type", a.value("--type")},
                                          {"moid", a.value("--moid")},
                                          {"zone", a.value("--zone")}});
  if (nodes.is_null()) return EXIT_FAILED;
  print_nodes(nodes, a.has("--table"));
  return EXIT_OK;
}

std::string search_misuse(const Arg_Reader& a) {
  if (a.words().empty() || a.words().size() > 2) return "want UUID [TEXT]";
  if (!a.has("--type")) return "--type is missing";
  return std::string();
}

int search(Command_Context& c) {
  const Arg_Reader& a = c.args;
  if (!kept("search", *c.session, a.words()[0])) return EXIT_FAILED;
  const Value nodes = list_request("search", *c.session,
                                   Object{{"uuid", a.words()[0]},
                                          {"subtype", "search"},
                                          {"search_type", a.value("--type")},
                                          {"search", a.words().size() == 2 ? a.words()[1] : ""}});
  if (nodes.is_null()) return EXIT_FAILED;
  print_nodes(nodes, a.has("--table"));
  return EXIT_OK;
}

// --jobs as a number, 0 when it is not one.
int jobs_of(const Arg_Reader& a) {
  const std::string text = a.value("--jobs", "4");
  return text.size() <= 2 && text.find_first_not_of("0123456789") == std::string::npos
             ? std::atoi(text.c_str())
             : 0;
}

std::string tree_misuse(const Arg_Reader& a) {
  if (a.words().size() != 1) return "want one UUID";
  const std::string depth = a.value("--depth", "1000");
  if (depth.empty() || depth.size() > 4 ||
      depth.find_first_not_of("0123456789") != std::string::npos)
    return "--depth wants a number, not '" + depth + "'";
  const std::string view = a.value("--view", "hosts");
  if (view != "hosts" && view != "vms" && view != "recovery")
    return "--view wants hosts, vms or recovery, not '" + view + "'";
  const int jobs = jobs_of(a);
  if (jobs < 1 || jobs > 64)
    return "--jobs wants a number from 1 to 64, not '" + a.value("--jobs", "4") + "'";
  return std::string();
}

int tree(Command_Context& c) {
  const Arg_Reader& a = c.args;
  if (!kept("tree", *c.session, a.words()[0])) return EXIT_FAILED;
  return Tree_Walker(*c.session, a.words()[0], a.value("--view", "hosts"),
                     std::atoi(a.value("--depth", "1000").c_str()), jobs_of(a))
      .walk();
}

}  // namespace

const Command_Entry LS_COMMAND = {"ls",
                                  "list one level of an environment's inventory tree",
                                  LS_USAGE,
                                  LS_EXAMPLE,
                                  {"--view", "--type", "--moid", "--zone"},
                                  {"--table"},
                                  HOST_OPTIONS,
                                  Needs::PLUGIN,
                                  false,
                                  ls,
                                  ls_misuse};

const Command_Entry SEARCH_COMMAND = {
    "search",     "search an environment's zones, hosts or instances",
    SEARCH_USAGE, SEARCH_EXAMPLE,
    {"--type"},   {"--table"},
    HOST_OPTIONS, Needs::PLUGIN,
    false,        search,
    search_misuse};

const Command_Entry TREE_COMMAND = {"tree",
                                    "walk and print an environment's inventory tree",
                                    TREE_USAGE,
                                    TREE_EXAMPLE,
                                    {"--view", "--depth", "--jobs"},
                                    {},
                                    HOST_OPTIONS,
                                    Needs::PLUGIN,
                                    false,
                                    tree,
                                    tree_misuse};
