#include "tools/agent/log_lines.h"

#include <ace/Log_Msg.h>
#include <gtest/gtest.h>

namespace {

// A process that runs for long (serve) logs without end; it keeps the last
// lines only.
TEST(Log_Lines, KeepsTheLastLinesOnly) {
  Log_Lines lines;
  EXPECT_EQ(lines.first(), "");
  const int logged = static_cast<int>(Log_Lines::MAX_LINES) + 10;
  for (int i = 0; i < logged; ++i)
    ACE_ERROR((LM_ERROR, "%N:%l: Line %d.\n", i));
  EXPECT_EQ(lines.size(), Log_Lines::MAX_LINES);
  EXPECT_EQ(lines.first(), "Line 10");
}

}  // namespace
