#include "testing/child_process.h"

#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

#include "testing/program_run.h"

namespace testing_support {
namespace {

// Whether process `pid` is gone (or a zombie, which its new parent reaps).
bool gone(pid_t pid) {
  for (int i = 0; i < 200; ++i) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string id, name, state;
    if (!(stat >> id >> name >> state) || state == "Z") return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

TEST(Child_Process, StopsAProgramAndWhatItStartedWhetherOrNotItHeedsSigterm) {
  struct Case {
    const char* script;  // prints the pid of the child it starts, then waits
    bool sigterm_blocked_here;
    bool killed;
  } cases[] = {
      {"sleep 60 & echo $!; wait", false, false},
      // A thread that waits for signals blocks them; its children must not.
      {"sleep 60 & echo $!; wait", true, false},
      // tinyproxy can miss its SIGTERM: this one never takes it.
      {"trap '' TERM; sleep 60 & echo $!; wait", false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    sigset_t term, before;
    sigemptyset(&term);
    sigaddset(&term, SIGTERM);
    pthread_sigmask(c.sigterm_blocked_here ? SIG_BLOCK : SIG_UNBLOCK, &term, &before);
    int out[2];
    ASSERT_EQ(::pipe2(out, O_CLOEXEC), 0);
    const pid_t pid = start_child({"/bin/sh", "-c", c.script}, {-1, out[1], -1});
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    ::close(out[1]);
    const std::string started = read_until(out[0], "\n");
    ::close(out[0]);
    ASSERT_GT(pid, 0);
    ASSERT_FALSE(started.empty());

    ::testing::internal::CaptureStderr();
    const Stopped stopped = stop_child(pid, "the script");
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(stopped.killed, c.killed);
    EXPECT_EQ(WIFSIGNALED(stopped.status) ? WTERMSIG(stopped.status) : 0,
              c.killed ? SIGKILL : SIGTERM);
    EXPECT_EQ(said.find("the script (pid " + std::to_string(pid) +
                        ") did not end within 2000 ms of SIGTERM: killed it") != std::string::npos,
              c.killed)
        << said;
    EXPECT_TRUE(gone(std::stoi(started)));
  }
}

}  // namespace
}  // namespace testing_support
