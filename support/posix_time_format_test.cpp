#include "support/posix_time_format.h"

#include <gtest/gtest.h>

namespace {

TEST(POSIX_Time_Format, RendersUtcTime) {
  EXPECT_STREQ(POSIX_Time_Format("%Y-%m-%dT%H:%M:%SZ", 0).c_str(), "1970-01-01T00:00:00Z");
  EXPECT_STREQ(POSIX_Time_Format("%Y-%m-%dT%H:%M:%SZ", 1377613810).c_str(), "2013-08-27T14:30:10Z");
}

TEST(POSIX_Time_Format, EmptyWhenTheTextDoesNotFit) {
  POSIX_Time_Format t("%Y-%m-%dT%H:%M:%SZ %Y-%m-%dT%H:%M:%SZ", 0);
  EXPECT_TRUE(t.empty());
  EXPECT_STREQ(t.c_str(), "");
  EXPECT_TRUE(POSIX_Time_Format(nullptr, 0).empty());
}

}  // namespace
