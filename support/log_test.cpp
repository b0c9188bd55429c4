#include "support/log.h"

#include <thread>

#include <gtest/gtest.h>

#include "testing/log_capture.h"

namespace {

TEST(Log, ErrorsCarryTheirSourceLocation) {
  testing_support::Log_Capture log;
  QC_LOG_ERROR("Failed to send request to '%s'.\n", "http://127.0.0.1:1/iaas/");
  int line = __LINE__ - 1;
  auto entries = log.entries();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].priority, LM_ERROR);
  EXPECT_EQ(entries[0].text, "support/log_test.cpp:" + std::to_string(line) +
                                 ": Failed to send request to 'http://127.0.0.1:1/iaas/'.\n");
  EXPECT_TRUE(log.has("Failed to send request to 'http://127.0.0.1:1/iaas/'.\n"));
}

TEST(Log, UnexpectedErrorsAreEmergenciesWithATrace) {
  testing_support::Log_Capture log;
  QC_LOG_UNEXPECTED("zone_ is NULL");
  auto entries = log.entries();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].priority, LM_EMERGENCY);
  EXPECT_EQ(entries[0].text.rfind("Unexpected error in support/log_test.cpp:", 0), 0u);
  EXPECT_TRUE(log.has_unexpected("zone_ is NULL"));
  EXPECT_FALSE(log.has_unexpected("sess_ is NULL"));
}

TEST(Log, LinesOfOtherThreadsAreCapturedToo) {
  testing_support::Log_Capture log;
  std::thread([] { QC_LOG_ERROR("Failed to describe bots.\n"); }).join();
  EXPECT_EQ(log.count("Failed to describe bots.\n"), 1u);
}

}  // namespace
