// qingcloud-agent ls, search and tree: the console's inventory requests
// through the plug-in's list handler.
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <pthread.h>
#include <queue>
#include <string>
#include <thread>
#include <vector>

#include "host/json_spirit/writer.h"
#include "tools/agent/command_spec.h"
#include "tools/agent/commands.h"
#include "tools/agent/host_session.h"
#include "tools/agent/node_text.h"
#include "tools/agent/terminal_text.h"

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
    "Walks the inventory tree the way the console does and prints it, one node a line.\n\n"
    "options:\n"
    "  --view V            hosts (default), vms or recovery\n"
    "  --depth N           stop N levels below the top (default: the whole tree)\n"
    "  --jobs N            expand up to N nodes at once, 1 to 64 (default 4); the tree prints the "
    "same\n"
    "Interrupted (SIGINT), it ends after the line it is printing, with exit status 130.\n";
const char* const TREE_EXAMPLE =
    "\nexample:\n  qingcloud-agent tree 3f0c8a5e-1b2d-4c6e-9f7a-0123456789ab --view vms\n";

// Sends one list request; prints the error line and its reason and gives
// null on failure.
Value list_request(const char* command, Host_Session& session, Object params) {
  const Value answer = session.host().request(Agent_Host::LIST_METHOD, params);
  if (!answer_error(answer).empty()) {
    answer_fail(command, answer);
    return Value();
  }
  return answer.get_obj().at("result");
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

// Set by SIGINT while a tree is printed.
volatile std::sig_atomic_t interrupted = 0;

void on_interrupt(int) {
  interrupted = 1;
}

// Interrupted, the walk ends at a line's end: the lines printed so far are
// written out whole, and the process ends with the shell's status for
// SIGINT.  The requests still out are not waited for.
void end_if_interrupted() {
  if (!interrupted) return;
  std::fflush(stdout);
  std::_Exit(130);
}

std::string member(const Value& node, const char* key) {
  if (node.type() != json_spirit::obj_type) return "";
  auto it = node.get_obj().find(key);
  return it != node.get_obj().end() && it->second.type() == json_spirit::str_type
             ? it->second.get_str()
             : "";
}

// Walks the tree below one request as the console does, expanding up to
// `jobs` nodes at once on threads of its own (as the host's handler threads
// would), and prints it in tree order as the answers arrive.  The expansions
// of a node's children are sent as soon as its answer is in; the one
// earliest in the tree goes first, so that one job walks as one request
// after the other did.
class Tree_Walker {
 public:
  Tree_Walker(Host_Session& session, std::string uuid, std::string view, int depth, int jobs)
      : session_(session),
        uuid_(std::move(uuid)),
        view_(std::move(view)),
        depth_(depth),
        jobs_(jobs) {}

  ~Tree_Walker() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    work_ready_.notify_all();
    for (std::thread& worker : workers_)
      worker.join();
  }

  int walk() {
    top_ = std::make_unique<Expansion>();
    ready_.push(top_.get());
    // SIGINT is for the printer alone: the workers are made with it blocked.
    struct sigaction act {};
    act.sa_handler = on_interrupt;
    sigaction(SIGINT, &act, nullptr);
    sigset_t sigint, before;
    sigemptyset(&sigint);
    sigaddset(&sigint, SIGINT);
    pthread_sigmask(SIG_BLOCK, &sigint, &before);
    for (int i = 0; i < jobs_; ++i)
      workers_.emplace_back([this] { work(); });
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    const Value& zones = answer(*top_);
    if (zones.is_null()) return EXIT_FAILED;
    print_level(*top_, 0);
    if (view_ == "recovery") walk_users(zones);
    return failures_ == 0 ? EXIT_OK : EXIT_FAILED;
  }

 private:
  // One list request of the walk.  Its answer and the expansions it leads to
  // are written by the worker that sends it, before `done` is set under the
  // mutex; read by the printer after.
  struct Expansion {
    std::vector<int> place;        // where it prints: the order of the requests
    int level = 0;                 // of the nodes it lists
    std::string type, moid, zone;  // what it lists: the zones with no type
    bool done = false;
    Value nodes;         // null when it failed
    std::string error;   // the error line when it failed
    std::string reason;  // and why, when the host knows
    // Per node, its expansion or null; a user's networks, one per zone.
    std::vector<std::unique_ptr<Expansion>> children;
  };
  struct Later_In_Tree {
    bool operator()(const Expansion* a, const Expansion* b) const { return a->place > b->place; }
  };

  // Which nodes the console opens in this view.
  bool expands(const std::string& type) const {
    if (type == "Zone") return true;
    if (view_ == "recovery") return false;  // its hosts are where it stops
    return type == "VirtualMachine" || (type == "HostSystem" && view_ != "vms");
  }

  void work() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      work_ready_.wait(lock, [this] { return stopping_ || !ready_.empty(); });
      if (stopping_) return;
      Expansion& e = *ready_.top();
      ready_.pop();
      lock.unlock();
      send(e);
      std::vector<Expansion*> next = plan(e);
      lock.lock();
      for (Expansion* child : next)
        ready_.push(child);
      e.done = true;
      answered_.notify_all();
      if (!next.empty()) work_ready_.notify_all();
    }
  }

  void send(Expansion& e) {
    Object params{{"uuid", uuid_},  {"subtype", "inventory"}, {"view", view_},
                  {"type", e.type}, {"moid", e.moid},         {"zone", e.zone}};
    try {
      Value answer = session_.host().request(Agent_Host::LIST_METHOD, params);
      e.error = answer_error(answer);
      if (e.error.empty())
        e.nodes = std::move(answer.get_obj()["result"]);
      else
        e.reason = answer_reason(answer);
    } catch (const std::exception& ex) {
      e.error = ex.what();
    }
  }

  // The expansions that `e`'s answer leads to, made its children.
  std::vector<Expansion*> plan(Expansion& e) {
    std::vector<Expansion*> next;
    if (e.nodes.type() != json_spirit::array_type) return next;
    const json_spirit::Array& nodes = e.nodes.get_array();
    auto add = [&](std::vector<int> place, int level, std::string type, std::string moid,
                   std::string zone) {
      auto child = std::make_unique<Expansion>();
      child->place = std::move(place);
      child->level = level;
      child->type = std::move(type);
      child->moid = std::move(moid);
      child->zone = std::move(zone);
      next.push_back(child.get());
      e.children.push_back(std::move(child));
    };
    if (e.type == "User") {
      if (depth_ < 1) return next;
      const json_spirit::Array& zones = top_->nodes.get_array();
      for (std::size_t u = 0; u < nodes.size(); ++u) {
        for (std::size_t z = 0; z < zones.size(); ++z)
          add({static_cast<int>(zones.size()), static_cast<int>(u), static_cast<int>(z)}, 1,
              "Vxnet", member(nodes[u], "moid"), member(zones[z], "moid"));
      }
      return next;
    }
    for (std::size_t i = 0; i < nodes.size(); ++i) {
      const std::string type = member(nodes[i], "type");
      if (e.level + 1 > depth_ || !expands(type)) {
        e.children.emplace_back();
        continue;
      }
      std::vector<int> place = e.place;
      place.push_back(static_cast<int>(i));
      add(std::move(place), e.level + 1, type, member(nodes[i], "moid"), member(nodes[i], "zone"));
    }
    if (e.type.empty() && view_ == "recovery") {
      // The users come after the zones' branches.
      auto users = std::make_unique<Expansion>();
      users->place = {static_cast<int>(nodes.size())};
      users->type = "User";
      next.push_back(users.get());
      std::lock_guard<std::mutex> lock(mutex_);
      users_ = std::move(users);
    }
    return next;
  }

  // Waits for the answer of `e`; prints the error line and gives null when
  // it failed.
  const Value& answer(const Expansion& e) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      while (!answered_.wait_for(lock, std::chrono::milliseconds(100), [&e] { return e.done; }))
        end_if_interrupted();
    }
    if (e.nodes.is_null()) {
      command_fail("tree", EXIT_FAILED, e.error);
      if (!e.reason.empty()) command_fail("tree", EXIT_FAILED, e.reason);
      ++failures_;
    }
    return e.nodes;
  }

  void print_level(Expansion& e, int level) {
    std::size_t i = 0;
    for (const Value& node : e.nodes.get_array()) {
      std::printf("%*s%s\n", 2 * level, "", node_line(node, false).c_str());
      end_if_interrupted();
      // Taken out, so that the branch goes once it is printed.
      const std::unique_ptr<Expansion> children = std::move(e.children[i++]);
      if (!children) continue;
      if (!answer(*children).is_null()) print_level(*children, level + 1);
    }
  }

  // The recovery view's users, each with the networks it may use per zone.
  void walk_users(const Value& zones) {
    const Value& users = answer(*users_);
    if (users.is_null()) return;
    std::size_t next = 0;
    for (const Value& user : users.get_array()) {
      std::printf("%s\n", node_line(user).c_str());
      end_if_interrupted();
      if (depth_ < 1) continue;
      for (std::size_t z = 0; z < zones.get_array().size(); ++z) {
        const Value& vxnets = answer(*users_->children[next++]);
        if (vxnets.is_null()) continue;
        for (const Value& vxnet : vxnets.get_array()) {
          std::printf("  %s\n", node_line(vxnet).c_str());
          end_if_interrupted();
        }
      }
    }
  }

  Host_Session& session_;
  std::string uuid_;
  std::string view_;
  int depth_;
  int jobs_;
  int failures_ = 0;  // the printer's alone

  std::mutex mutex_;  // guards what follows
  std::condition_variable work_ready_;
  std::condition_variable answered_;
  std::priority_queue<Expansion*, std::vector<Expansion*>, Later_In_Tree> ready_;
  std::unique_ptr<Expansion> top_;    // the zones
  std::unique_ptr<Expansion> users_;  // the recovery view's, once the zones are in
  bool stopping_ = false;
  std::vector<std::thread> workers_;
};

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

const Command_Spec LS_COMMAND = {"ls",
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

const Command_Spec SEARCH_COMMAND = {
    "search",     "search an environment's zones, hosts or instances",
    SEARCH_USAGE, SEARCH_EXAMPLE,
    {"--type"},   {"--table"},
    HOST_OPTIONS, Needs::PLUGIN,
    false,        search,
    search_misuse};

const Command_Spec TREE_COMMAND = {"tree",
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
