#include "support/countdown.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "testing/fake_sleep.h"
#include "testing/log_capture.h"

namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

// Runs a countdown to its end and returns the slept time at every tick.
std::vector<std::int64_t> tick_times(Countdown_Range range) {
  std::vector<std::int64_t> times;
  std::int64_t expected_nr = 0;
  for (const Countdown_Iterator::Tick& tick : range) {
    EXPECT_EQ(tick.tick_nr, expected_nr++);
    times.push_back(tick.elapsed_secs);
  }
  return times;
}

class Countdown : public ::testing::Test {
 protected:
  void SetUp() override { testing_support::take_sleeps(); }
  testing_support::Log_Capture log;
};

TEST_F(Countdown, PollingBudgetOfSixMinutes) {
  EXPECT_THAT(tick_times(countdown(360, 1, 60, false)),
              ElementsAre(0, 1, 3, 7, 15, 31, 63, 123, 183, 243, 303, 360));
  // The last wait is cut so that the waiting ends exactly on the budget.
  EXPECT_THAT(testing_support::take_sleeps(), ElementsAre(1, 2, 4, 8, 16, 32, 60, 60, 60, 60, 57));
  EXPECT_TRUE(log.messages().empty());
}

TEST_F(Countdown, WaitCutToTheBudget) {
  EXPECT_THAT(tick_times(countdown(5, 4, 60, false)), ElementsAre(0, 4, 5));
  EXPECT_THAT(testing_support::take_sleeps(), ElementsAre(4, 1));
}

TEST_F(Countdown, ZeroBudgetIsTakenAsOneSecond) {
  EXPECT_THAT(tick_times(countdown(0, 1, 60, false)), ElementsAre(0, 1));
  EXPECT_THAT(testing_support::take_sleeps(), ElementsAre(1));
  EXPECT_TRUE(log.has("timeout_secs must be at least 1, or else the for loop never invokes.\n"));
}

TEST_F(Countdown, NoCapMeansTheBudgetIsTheCap) {
  EXPECT_THAT(tick_times(countdown(10, 1, 0, false)), ElementsAre(0, 1, 3, 7, 10));
  EXPECT_THAT(testing_support::take_sleeps(), ElementsAre(1, 2, 4, 3));
}

TEST_F(Countdown, TheFirstTickComesWithoutWaiting) {
  Countdown_Range range = countdown(360, 1, 60, false);
  Countdown_Iterator it = range.begin();
  EXPECT_EQ(it->sleep_secs, 0);
  EXPECT_EQ(it->timeout_secs, 360);
  EXPECT_NE(it, range.end());
  EXPECT_TRUE(testing_support::take_sleeps().empty());
  ++it;
  EXPECT_EQ(it->sleep_secs, 1);
}

TEST_F(Countdown, DoneIteratorsCompareEqualAndStayDone) {
  Countdown_Iterator end(0, 0, 0, false);
  EXPECT_TRUE(end.done());
  EXPECT_EQ(end, Countdown_Iterator(-3, 1, 1, false));
  ++end;
  EXPECT_EQ(end->tick_nr, 0);
  EXPECT_TRUE(testing_support::take_sleeps().empty());
}

TEST(Exponential_Backoff, DoublesFromTheSlotTimeUpToTheCap) {
  Exponential_Backoff_Iterator it;
  it.init(1, 100, 60, false);
  std::vector<std::uint32_t> values;
  for (int i = 0; i < 9; ++i, ++it)
    values.push_back(*it);
  EXPECT_THAT(values, ElementsAreArray({1, 2, 4, 8, 16, 32, 60, 60, 60}));
  EXPECT_EQ(it.cumulation(), 1u + 2 + 4 + 8 + 16 + 32 + 60 + 60 + 60 + 60);
}

TEST(Exponential_Backoff, EdgesOfItsParameters) {
  Exponential_Backoff_Iterator it;
  it.init(0, 100, 0, false);  // a zero slot is taken as one second; no cap
  EXPECT_EQ(*it, 1u);
  for (int i = 0; i < 40; ++i)
    ++it;
  EXPECT_EQ(*it, 4294967295u);  // saturates instead of wrapping to 0

  it.init(5, 2, 60, false);  // growth stops after the retry limit
  ++it;
  ++it;
  ++it;
  EXPECT_EQ(*it, 20u);

  it.init(90, 10, 60, false);  // a slot above the cap starts at the cap
  EXPECT_EQ(*it, 60u);
}

TEST(Exponential_Backoff, JitterStaysWithinOneAndTheCap) {
  Exponential_Backoff_Iterator it;
  it.init(1, 1000, 60, true);
  for (int i = 0; i < 200; ++i, ++it) {
    ASSERT_GE(*it, 1u);
    ASSERT_LE(*it, 60u);
  }
}

}  // namespace
