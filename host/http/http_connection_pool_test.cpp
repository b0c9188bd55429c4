// The pool of idle connections, with its clock in the test's hand.
#include "host/http/http_connection_pool.h"

#include <gtest/gtest.h>

namespace {

using Clock = HTTP_Connection_Pool::Clock;

class HTTP_Connection_Pool_Test : public ::testing::Test {
 protected:
  // A handle that stands for one connection.
  static Curl_Easy handle() {
    Curl_Easy easy = curl_easy_make();
    EXPECT_TRUE(easy);
    return easy;
  }

  Clock::time_point now_ = Clock::time_point() + std::chrono::hours(1);
  HTTP_Connection_Pool pool_{[this] { return now_; }};
};

TEST_F(HTTP_Connection_Pool_Test, KeepsTheSessionsIdleCountPerKeyAndGivesTheNewestFirst) {
  std::vector<CURL*> kept;
  for (int i = 0; i < 4; ++i) {
    Curl_Easy easy = handle();
    kept.push_back(easy.get());
    pool_.give_back("a", std::move(easy), 3);
  }
  pool_.give_back("b", handle(), 3);
  EXPECT_EQ(pool_.idle("a"), 3u) << "the fourth is closed";
  EXPECT_EQ(pool_.idle("b"), 1u);
  EXPECT_EQ(pool_.idle_total(), 4u);
  EXPECT_EQ(pool_.take("a").get(), kept[2]);
  EXPECT_EQ(pool_.take("a").get(), kept[1]);
  EXPECT_FALSE(pool_.take("c"));
  pool_.give_back("a", handle(), 0);
  EXPECT_EQ(pool_.idle("a"), 1u) << "a session that keeps none keeps none";
}

TEST_F(HTTP_Connection_Pool_Test, IdleConnectionsExpire) {
  pool_.give_back("a", handle(), 3);
  now_ += std::chrono::seconds(20);
  pool_.give_back("a", handle(), 3);
  pool_.give_back("b", handle(), 3);
  now_ += std::chrono::seconds(10);
  pool_.close_expired();
  EXPECT_EQ(pool_.idle("a"), 1u) << "the one idle for 30 s is closed";
  EXPECT_EQ(pool_.idle("b"), 1u);
  now_ += std::chrono::seconds(20);
  EXPECT_FALSE(pool_.take("a")) << "expired handles are not handed out";
  EXPECT_EQ(pool_.idle_total(), 1u);
  pool_.clear();
  EXPECT_EQ(pool_.idle_total(), 0u);
}

TEST_F(HTTP_Connection_Pool_Test, ThePoolsTotalIsBoundedByClosingTheOldest) {
  const std::size_t total = HTTP_Connection_Pool::MAX_IDLE_TOTAL;
  for (std::size_t i = 0; i < total; ++i) {
    pool_.give_back("key" + std::to_string(i), handle(), 3);
    now_ += std::chrono::milliseconds(1);
  }
  pool_.give_back("new", handle(), 3);
  EXPECT_EQ(pool_.idle_total(), total);
  EXPECT_EQ(pool_.idle("key0"), 0u);
  EXPECT_FALSE(pool_.take("key0"));
  EXPECT_EQ(pool_.idle("key1"), 1u);
  EXPECT_EQ(pool_.idle("new"), 1u);
}

}  // namespace
