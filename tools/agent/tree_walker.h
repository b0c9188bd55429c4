#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <queue>
#include <string>
#include <vector>

#include "common/host_info.h"
#include "host/json_spirit/value.h"
#include "tools/agent/handler_pool.h"
#include "tools/agent/host_session.h"

// Walks the tree below one request as the console does, expanding up to
// `jobs` nodes at once on a Handler_Pool of its own (as the host's handler
// threads would), and prints it in tree order as the answers arrive.  The
// expansions of a node's children are sent as soon as its answer is in; the
// one earliest in the tree goes first, so that one job walks as one request
// after the other did.  Interrupted by SIGINT, it ends the process at a
// line's end with status 130.
class Tree_Walker {
 public:
  Tree_Walker(Host_Session& session, std::string uuid, std::string view, int depth, int jobs);
  ~Tree_Walker();
  Tree_Walker(const Tree_Walker&) = delete;
  Tree_Walker& operator=(const Tree_Walker&) = delete;

  // Prints the tree; its exit code.
  int walk();

 private:
  // One list request of the walk.  Its answer and the expansions it leads to
  // are written by the worker that sends it, before `done` is set under the
  // mutex; read by the printer after.
  struct Expansion {
    std::vector<int> place;        // where it prints: the order of the requests
    int level = 0;                 // of the nodes it lists
    std::string type, moid, zone;  // what it lists: the zones with no type
    bool done = false;
    json_spirit::Value nodes;  // null when it failed
    std::string error;         // the error line when it failed
    std::string reason;        // and why, when the host knows
    // Per node, its expansion or null; a user's networks, one per zone.
    std::vector<std::unique_ptr<Expansion>> children;
  };
  struct Later_In_Tree {
    bool operator()(const Expansion* a, const Expansion* b) const { return a->place > b->place; }
  };

  void start_workers();  // with the mutex held
  void work();
  void send(Expansion& e);
  std::vector<Expansion*> plan(Expansion& e);
  const json_spirit::Value& answer(const Expansion& e);
  void print_level(Expansion& e, int level);
  void walk_users(const json_spirit::Value& zones);

  Host_Session& session_;
  std::string uuid_;
  std::string view_;
  qingcloud::List_View list_view_;  // view_, read once
  int depth_;
  int jobs_;
  int failures_ = 0;  // the printer's alone

  std::mutex mutex_;  // guards what follows
  std::condition_variable answered_;
  std::priority_queue<Expansion*, std::vector<Expansion*>, Later_In_Tree> ready_;
  std::unique_ptr<Expansion> top_;    // the zones
  std::unique_ptr<Expansion> users_;  // the recovery view's, once the zones are in
  int running_ = 0;                   // work loops handed to the pool
  bool stopping_ = false;
  std::unique_ptr<Handler_Pool> pool_;  // last: its threads go first
};
