// A stop that the requests in flight hold up past the grace ends the process.
#include "tools/agent/serve/stop_waiter.h"

#include <cstdio>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

TEST(Stop_Waiter_Death, EndsTheProcessWhenTheGraceRunsOut) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        sigset_t signals;
        sigemptyset(&signals);
        sigaddset(&signals, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &signals, nullptr);
        bool stopped = false;
        Stop_Waiter waiter(
            signals, [&stopped] { stopped = true; },
            [&stopped] { std::fprintf(stderr, "given up after stop: %d\n", stopped); },
            std::chrono::seconds(0));
        ::kill(::getpid(), SIGTERM);
        for (;;)
          ::pause();  // a request that never ends
      },
      ::testing::ExitedWithCode(1), "stopping on SIGTERM(.|\n)*given up after stop: 1");
}

}  // namespace
