#include "tools/agent/tree_walker.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <pthread.h>

#include "common/host_info.h"
#include "tools/agent/node_text.h"

namespace {

using json_spirit::Object;
using json_spirit::Value;

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

}  // namespace

Tree_Walker::Tree_Walker(Host_Session& session, std::string uuid, std::string view, int depth,
                         int jobs)
    : session_(session),
      uuid_(std::move(uuid)),
      view_(std::move(view)),
      list_view_(qingcloud::list_name_to_view(view_.c_str())),
      depth_(depth),
      jobs_(jobs) {}

Tree_Walker::~Tree_Walker() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  pool_.reset();  // the loops see stopping_ and end; the pool joins them
}

int Tree_Walker::walk() {
  // SIGINT is for the printer alone: the pool's threads are made with it
  // blocked.
  struct sigaction act {};
  act.sa_handler = on_interrupt;
  sigaction(SIGINT, &act, nullptr);
  sigset_t sigint, before;
  sigemptyset(&sigint);
  sigaddset(&sigint, SIGINT);
  pthread_sigmask(SIG_BLOCK, &sigint, &before);
  pool_ = std::make_unique<Handler_Pool>(jobs_, static_cast<std::size_t>(jobs_));
  pthread_sigmask(SIG_SETMASK, &before, nullptr);
  top_ = std::make_unique<Expansion>();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ready_.push(top_.get());
    start_workers();
  }
  const Value& zones = answer(*top_);
  if (zones.is_null()) return EXIT_FAILED;
  print_level(*top_, 0);
  if (list_view_ == qingcloud::VIEW_RECOVERY) walk_users(zones);
  return failures_ == 0 ? EXIT_OK : EXIT_FAILED;
}

// One work loop a thread, while expansions wait for one.
void Tree_Walker::start_workers() {
  while (running_ < jobs_ && static_cast<std::size_t>(running_) < ready_.size() &&
         pool_->post([this] { work(); }))
    ++running_;
}

void Tree_Walker::work() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stopping_ && !ready_.empty()) {
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
    start_workers();
  }
  --running_;
}

void Tree_Walker::send(Expansion& e) {
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
std::vector<Tree_Walker::Expansion*> Tree_Walker::plan(Expansion& e) {
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
        add({static_cast<int>(zones.size()), static_cast<int>(u), static_cast<int>(z)}, 1, "Vxnet",
            member(nodes[u], "moid"), member(zones[z], "moid"));
    }
    return next;
  }
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    const std::string type = member(nodes[i], "type");
    if (e.level + 1 > depth_ ||
        !qingcloud::client_expands(list_view_, qingcloud::list_name_to_type(type.c_str()))) {
      e.children.emplace_back();
      continue;
    }
    std::vector<int> place = e.place;
    place.push_back(static_cast<int>(i));
    add(std::move(place), e.level + 1, type, member(nodes[i], "moid"), member(nodes[i], "zone"));
  }
  if (e.type.empty() && list_view_ == qingcloud::VIEW_RECOVERY) {
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

// Waits for the answer of `e`; prints the error line and gives null when it
// failed.
const Value& Tree_Walker::answer(const Expansion& e) {
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

void Tree_Walker::print_level(Expansion& e, int level) {
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
void Tree_Walker::walk_users(const Value& zones) {
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
