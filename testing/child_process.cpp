#include "testing/child_process.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <grp.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace testing_support {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

std::vector<char*> pointers(std::vector<std::string>& strings) {
  std::vector<char*> out;
  for (std::string& s : strings)
    out.push_back(&s[0]);
  out.push_back(nullptr);
  return out;
}

// In a forked child, before exec: a test process may block or ignore
// signals (a thread that waits for SIGTERM blocks it), and exec keeps both;
// a child that inherited them would never see the SIGTERM that stops it.
void default_signals() {
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  struct sigaction act {};
  act.sa_handler = SIG_DFL;
  for (int sig = 1; sig < NSIG; ++sig)
    if (sig != SIGKILL && sig != SIGSTOP) sigaction(sig, &act, nullptr);
}

// Whether `pid` has ended within `limit`, leaving it to be reaped.
bool ended_within(pid_t pid, milliseconds limit) {
  const auto deadline = steady_clock::now() + limit;
  milliseconds step(1);
  for (;;) {
    siginfo_t info{};
    const int rc = waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT);
    if (rc == 0 && info.si_pid == pid) return true;
    if (rc < 0 && errno != EINTR) return true;  // not ours to wait for (any more)
    if (steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(step);
    step = std::min(step * 2, milliseconds(20));
  }
}

void signal_group(pid_t pid, int sig) {
  if (::kill(-pid, sig) != 0) ::kill(pid, sig);
}

// Reaps an ended (or SIGKILLed) child.
int reap(pid_t pid) {
  int status = -1;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return status;
}

}  // namespace

pid_t start_child(const std::vector<std::string>& argv, const Child_Streams& streams,
                  const std::vector<std::string>& env, int uid) {
  if (argv.empty()) return -1;
  std::vector<std::string> args = argv, envs = env;
  std::vector<char*> arg_ptrs = pointers(args), env_ptrs = pointers(envs);
  const int fds[] = {streams.in, streams.out, streams.err};
  pid_t pid = -1;
  if (uid < 0) {
    // posix_spawn does not copy this (large) process as fork does.
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    for (int i = 0; i < 3; ++i) {
      if (fds[i] >= 0)
        posix_spawn_file_actions_adddup2(&files, fds[i], i);
      else
        posix_spawn_file_actions_addopen(&files, i, "/dev/null", O_RDWR, 0);
    }
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawnattr_setflags(
        &attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    if (posix_spawn(&pid, arg_ptrs[0], &files, &attr, arg_ptrs.data(), env_ptrs.data()) != 0)
      pid = -1;
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&files);
    return pid;
  }
  const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
  // Between fork and exec only async-signal-safe calls.
  pid = ::fork();
  if (pid == 0) {
    ::setpgid(0, 0);
    default_signals();
    for (int i = 0; i < 3; ++i)
      ::dup2(fds[i] >= 0 ? fds[i] : null, i);
    if (::setgroups(0, nullptr) != 0 || ::setgid(uid) != 0 || ::setuid(uid) != 0) ::_exit(126);
    ::execve(arg_ptrs[0], arg_ptrs.data(), env_ptrs.data());
    ::_exit(127);
  }
  if (null >= 0) ::close(null);
  // Also here, so that the group exists before anyone signals it.
  if (pid > 0) ::setpgid(pid, pid);
  return pid;
}

pid_t start_child(const std::vector<std::string>& argv, const Child_Streams& streams) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e)
    env.emplace_back(*e);
  return start_child(argv, streams, env);
}

bool wait_child(pid_t pid, milliseconds limit, int& status) {
  if (!ended_within(pid, limit)) return false;
  status = reap(pid);
  return true;
}

Stopped stop_child(pid_t pid, const std::string& name, milliseconds grace) {
  Stopped result;
  if (pid <= 0) return result;
  signal_group(pid, SIGTERM);
  if (!ended_within(pid, grace)) {
    result.killed = true;
    std::fprintf(stderr, "%s (pid %d) did not end within %lld ms of SIGTERM: killed it\n",
                 name.c_str(), static_cast<int>(pid), static_cast<long long>(grace.count()));
  }
  // Whatever it started and left behind goes with it; the group cannot be
  // another's while its leader is not reaped.
  signal_group(pid, SIGKILL);
  result.status = reap(pid);
  return result;
}

int exit_code(int status) {
  return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace testing_support
