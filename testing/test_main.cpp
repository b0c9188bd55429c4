// The main of every test program: Google Test, with every line logged
// through ACE checked for secrets (see canary.h) and printed to standard
// error.  A Log_Capture in a test takes the lines while it lives.
#include <cstdio>
#include <cstdlib>

#include <ace/Log_Msg.h>
#include <ace/Log_Msg_Backend.h>
#include <ace/Log_Record.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "testing/canary.h"

namespace {

class Canary_Log_Watch : public ACE_Log_Msg_Backend {
 public:
  Canary_Log_Watch() {
    ACE_Log_Msg::msg_backend(this);
    ACE_Log_Msg* log = ACE_LOG_MSG;
    log->set_flags(ACE_Log_Msg::CUSTOM);
    log->clr_flags(ACE_Log_Msg::STDERR);
  }
  ~Canary_Log_Watch() override {
    ACE_Log_Msg* log = ACE_LOG_MSG;
    log->clr_flags(ACE_Log_Msg::CUSTOM);
    log->set_flags(ACE_Log_Msg::STDERR);
    ACE_Log_Msg::msg_backend(nullptr);
  }

  int open(const ACE_TCHAR*) override { return 0; }
  int reset() override { return 0; }
  int close() override { return 0; }
  ssize_t log(ACE_Log_Record& record) override {
    testing_support::expect_no_canary(record.msg_data(), "log line");
    std::fputs(record.msg_data(), stderr);
    return 0;
  }
};

}  // namespace

int main(int argc, char** argv) {
  // The HTTP library takes proxies from the environment; tests reach their
  // own loopback servers directly, and those that test proxies set them.
  for (const char* name : {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY",
                           "no_proxy", "NO_PROXY"})
    ::unsetenv(name);
  ::testing::InitGoogleMock(&argc, argv);
  Canary_Log_Watch watch;
  return RUN_ALL_TESTS();
}
