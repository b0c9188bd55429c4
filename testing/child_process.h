#pragma once

#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

// Programs that tests and benchmarks start, and their ends.  Each child runs
// in a process group of its own, so that stopping it stops what it started
// too, and nothing here waits for a child without a bound: a program that
// misses its SIGTERM is killed, not waited for until the suite times out.
namespace testing_support {

// How long a program gets to end after SIGTERM before it is killed.
constexpr std::chrono::milliseconds STOP_GRACE{2000};

struct Child_Streams {
  int in = -1;  // -1: /dev/null
  int out = -1;
  int err = -1;
};

// Starts `argv` (the program's path first) with the environment `env`
// ("NAME=value" entries), as user and group `uid` when it is not -1 (the
// caller must be root), in a process group of its own, with no signal
// blocked or ignored.  The child's pid, or -1 when it cannot be started.
pid_t start_child(const std::vector<std::string>& argv, const Child_Streams& streams,
                  const std::vector<std::string>& env, int uid = -1);
// The same with this process's environment.
pid_t start_child(const std::vector<std::string>& argv, const Child_Streams& streams);

// Whether child `pid` has ended within `limit`; its wait status is then in
// `status` and it is reaped.
bool wait_child(pid_t pid, std::chrono::milliseconds limit, int& status);

struct Stopped {
  int status = 0;       // the wait status
  bool killed = false;  // it had to be sent SIGKILL
};

// Stops child `pid` and everything in its process group: SIGTERM, up to
// `grace` for it to end, then SIGKILL; reaps it.  When it had to kill, it
// says so on standard error, naming the child by `name`.
Stopped stop_child(pid_t pid, const std::string& name,
                   std::chrono::milliseconds grace = STOP_GRACE);

// The exit code in a wait status, -1 when the child did not exit normally.
int exit_code(int status);

}  // namespace testing_support
