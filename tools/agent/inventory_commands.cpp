// qingcloud-agent ls, search and tree: the console's inventory requests
// through the plug-in's list handler.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "host/json_spirit/writer.h"
#include "tools/agent/commands.h"
#include "tools/agent/host_session.h"
#include "tools/agent/node_text.h"
#include "tools/agent/terminal_text.h"

namespace {

using json_spirit::Object;
using json_spirit::Value;

const char* const LS_USAGE =
    "usage: qingcloud-agent ls UUID [--view hosts|vms|recovery] [--type T] [--moid M]\n"
    "                          [--zone Z] [--table]\n"
    "Lists the children of one node of the inventory tree (the zones without --type).\n\n"
    "options:\n"
    "  --view V   hosts (default), vms or recovery\n"
    "  --type T   the type of the node to expand: Zone, HostSystem, VirtualMachine, User, Vxnet\n"
    "  --moid M   the id of the node to expand\n"
    "  --zone Z   the zone of the node to expand\n"
    "  --table    one line per node instead of JSON\n";
const char* const LS_EXAMPLE =
    "\nexample:\n  qingcloud-agent ls 3f0c8a5e-1b2d-4c6e-9f7a-0123456789ab --type Zone --moid "
    "pek3a\n";

const char* const SEARCH_USAGE =
    "usage: qingcloud-agent search UUID --type Zone|HostSystem|VirtualMachine [TEXT] [--table]\n"
    "Finds the zones, physical hosts or instances whose name holds TEXT, ignoring case,\n"
    "in every zone.\n\n"
    "options:\n"
    "  --type T   what to look for\n"
    "  --table    one line per node instead of JSON\n";
const char* const SEARCH_EXAMPLE =
    "\nexample:\n  qingcloud-agent search 3f0c8a5e-1b2d-4c6e-9f7a-0123456789ab --type "
    "VirtualMachine "
    "web\n";

const char* const TREE_USAGE =
    "usage: qingcloud-agent tree UUID [--view hosts|vms|recovery] [--depth N]\n"
    "Walks the inventory tree the way the console does and prints it, one node a line.\n\n"
    "options:\n"
    "  --view V    hosts (default), vms or recovery\n"
    "  --depth N   stop N levels below the top (default: the whole tree)\n";
const char* const TREE_EXAMPLE =
    "\nexample:\n  qingcloud-agent tree 3f0c8a5e-1b2d-4c6e-9f7a-0123456789ab --view vms\n";

// Sends one list request; prints the error line and gives null on failure.
Value list_request(const char* command, Host_Session& session, Object params) {
  const Value answer = session.host().request(Agent_Host::LIST_METHOD, params);
  const std::string failed = answer_error(answer);
  if (!failed.empty()) {
    host_fail(command, HOST_FAILED, failed);
    return Value();
  }
  return answer.get_obj().at("result");
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

int usage_error(const char* command, const std::string& why) {
  return host_fail(command, HOST_BAD_USAGE, why + " (see qingcloud-agent " + command + " --help)");
}

std::string member(const Value& node, const char* key) {
  if (node.type() != json_spirit::obj_type) return "";
  auto it = node.get_obj().find(key);
  return it != node.get_obj().end() && it->second.type() == json_spirit::str_type
             ? it->second.get_str()
             : "";
}

// Walks the tree below one request as the console does.
class Tree_Walker {
 public:
  Tree_Walker(Host_Session& session, std::string uuid, std::string view, int depth)
      : session_(session), uuid_(std::move(uuid)), view_(std::move(view)), depth_(depth) {}

  int walk() {
    const Value zones = list("", "", "");
    if (zones.is_null()) return HOST_FAILED;
    print_level(zones, 0);
    if (view_ == "recovery") walk_users(zones);
    return failures_ == 0 ? HOST_OK : HOST_FAILED;
  }

 private:
  Value list(const std::string& type, const std::string& moid, const std::string& zone) {
    Object params{{"uuid", uuid_}, {"subtype", "inventory"}, {"view", view_},
                  {"type", type},  {"moid", moid},           {"zone", zone}};
    Value nodes = list_request("tree", session_, std::move(params));
    if (nodes.is_null()) ++failures_;
    return nodes;
  }

  // Which nodes the console opens in this view.
  bool expands(const std::string& type) const {
    if (type == "Zone") return true;
    if (view_ == "recovery") return false;  // its hosts are where it stops
    return type == "VirtualMachine" || (type == "HostSystem" && view_ != "vms");
  }

  void print_level(const Value& nodes, int level) {
    for (const Value& node : nodes.get_array()) {
      std::printf("%*s%s\n", 2 * level, "", node_line(node, false).c_str());
      const std::string type = member(node, "type");
      if (level + 1 > depth_ || !expands(type)) continue;
      const Value children = list(type, member(node, "moid"), member(node, "zone"));
      if (!children.is_null()) print_level(children, level + 1);
    }
  }

  // The recovery view's users, each with the networks it may use per zone.
  void walk_users(const Value& zones) {
    const Value users = list("User", "", "");
    if (users.is_null()) return;
    for (const Value& user : users.get_array()) {
      std::printf("%s\n", node_line(user).c_str());
      if (depth_ < 1) continue;
      for (const Value& zone : zones.get_array()) {
        const Value vxnets = list("Vxnet", member(user, "moid"), member(zone, "moid"));
        if (vxnets.is_null()) continue;
        for (const Value& vxnet : vxnets.get_array())
          std::printf("  %s\n", node_line(vxnet).c_str());
      }
    }
  }

  Host_Session& session_;
  std::string uuid_;
  std::string view_;
  int depth_;
  int failures_ = 0;
};

}  // namespace

int ls_command(const Command_Args& args) {
  Arg_Reader a(args, with_host_options({"--view", "--type", "--moid", "--zone"}),
               with_host_flags({"--table"}));
  if (!a.ok()) return usage_error("ls", a.error());
  if (a.has("--help")) {
    std::printf("%s%s%s", LS_USAGE, HOST_OPTIONS_USAGE, LS_EXAMPLE);
    return HOST_OK;
  }
  if (a.words().size() != 1) return usage_error("ls", "want one UUID");
  Host_Session session;
  std::string error;
  if (!session.open(a, true, error)) return host_fail("ls", HOST_BAD_USAGE, error);
  const Value nodes = list_request("ls", session,
                                   Object{{"uuid", a.words()[0]},
                                          {"subtype", "inventory"},
                                          {"view", a.value("--view", "hosts")},
                                          {"type", a.value("--type")},
                                          {"moid", a.value("--moid")},
                                          {"zone", a.value("--zone")}});
  if (nodes.is_null()) return HOST_FAILED;
  print_nodes(nodes, a.has("--table"));
  return HOST_OK;
}

int search_command(const Command_Args& args) {
  Arg_Reader a(args, with_host_options({"--type"}), with_host_flags({"--table"}));
  if (!a.ok()) return usage_error("search", a.error());
  if (a.has("--help")) {
    std::printf("%s%s%s", SEARCH_USAGE, HOST_OPTIONS_USAGE, SEARCH_EXAMPLE);
    return HOST_OK;
  }
  if (a.words().empty() || a.words().size() > 2) return usage_error("search", "want UUID [TEXT]");
  if (!a.has("--type")) return usage_error("search", "--type is missing");
  Host_Session session;
  std::string error;
  if (!session.open(a, true, error)) return host_fail("search", HOST_BAD_USAGE, error);
  const Value nodes = list_request("search", session,
                                   Object{{"uuid", a.words()[0]},
                                          {"subtype", "search"},
                                          {"search_type", a.value("--type")},
                                          {"search", a.words().size() == 2 ? a.words()[1] : ""}});
  if (nodes.is_null()) return HOST_FAILED;
  print_nodes(nodes, a.has("--table"));
  return HOST_OK;
}

int tree_command(const Command_Args& args) {
  Arg_Reader a(args, with_host_options({"--view", "--depth"}), with_host_flags({}));
  if (!a.ok()) return usage_error("tree", a.error());
  if (a.has("--help")) {
    std::printf("%s%s%s", TREE_USAGE, HOST_OPTIONS_USAGE, TREE_EXAMPLE);
    return HOST_OK;
  }
  if (a.words().size() != 1) return usage_error("tree", "want one UUID");
  const std::string depth_text = a.value("--depth", "1000");
  if (depth_text.empty() || depth_text.size() > 4 ||
      depth_text.find_first_not_of("0123456789") != std::string::npos)
    return usage_error("tree", "--depth wants a number, not '" + depth_text + "'");
  const std::string view = a.value("--view", "hosts");
  if (view != "hosts" && view != "vms" && view != "recovery")
    return usage_error("tree", "--view wants hosts, vms or recovery, not '" + view + "'");
  Host_Session session;
  std::string error;
  if (!session.open(a, true, error)) return host_fail("tree", HOST_BAD_USAGE, error);
  return Tree_Walker(session, a.words()[0], view, std::atoi(depth_text.c_str())).walk();
}
