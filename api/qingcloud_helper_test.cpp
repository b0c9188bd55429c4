#include "api/qingcloud_helper.h"

#include <gtest/gtest.h>

#include "api/qingcloud_host.h"
#include "api/qingcloud_user.h"
#include "testing/json_text.h"
#include "testing/log_capture.h"

namespace qingcloud {
namespace {

using testing_support::json_value;

// A user that counts how often it is copied and moved.
struct Counted_User : User {
  static int copies;
  static int moves;
  Counted_User() = default;
  Counted_User(const Counted_User& other) : User(other) { ++copies; }
  Counted_User(Counted_User&& other) noexcept : User(std::move(other)) { ++moves; }
  Counted_User& operator=(const Counted_User&) = default;
  Counted_User& operator=(Counted_User&&) = default;
};
int Counted_User::copies = 0;
int Counted_User::moves = 0;

class Loads_From_API : public ::testing::Test {
 protected:
  const json_spirit::Value users = json_value(R"([
    {"user_id": "usr-ANBNqG1y", "user_name": "alice", "email": "alice@example.com", "status": "active"},
    {"user_id": "usr-CT3owI01", "user_name": "bob", "role": "user"},
    {"user_name": "carol"},
    {"user_id": "usr-EeEeEe01", "user_name": "dave"}])");
  testing_support::Log_Capture log;
};

TEST_F(Loads_From_API, AppendsEveryElementAfterTheRecordsAlreadyThere) {
  Users loaded{{"usr-0", "root"}};
  json_spirit::Array two(users.get_array().begin(), users.get_array().begin() + 2);
  ASSERT_TRUE(loads_from_api(two, loaded));
  ASSERT_EQ(loaded.size(), 3u);
  EXPECT_EQ(loaded[0].id, "usr-0");
  EXPECT_EQ(loaded[1].id, "usr-ANBNqG1y");
  EXPECT_EQ(loaded[1].name, "alice");
  EXPECT_EQ(loaded[2].id, "usr-CT3owI01");
  EXPECT_TRUE(log.messages().empty());
}

TEST_F(Loads_From_API, ReservesOnceAndMovesEachRecord) {
  std::vector<Counted_User> loaded;
  Counted_User::copies = 0;
  json_spirit::Array two(users.get_array().begin(), users.get_array().begin() + 2);
  ASSERT_TRUE(loads_from_api(two, loaded));
  EXPECT_EQ(loaded.size(), 2u);
  EXPECT_EQ(loaded.capacity(), 2u);  // one reservation, no growth
  EXPECT_EQ(Counted_User::copies, 0);
}

// Pages come one after another; growing the list by one page each time
// would move every record loaded so far on every page.
TEST_F(Loads_From_API, PageAfterPageMovesEachRecordAFewTimesOnly) {
  std::vector<Counted_User> loaded;
  json_spirit::Array page(users.get_array().begin(), users.get_array().begin() + 2);
  Counted_User::moves = 0;
  Counted_User::copies = 0;
  for (int i = 0; i < 200; ++i)
    ASSERT_TRUE(loads_from_api(page, loaded));
  ASSERT_EQ(loaded.size(), 400u);
  EXPECT_EQ(loaded[399].id, "usr-CT3owI01");
  EXPECT_LT(Counted_User::moves, 3 * 400) << "records moved again on every page";
  EXPECT_EQ(Counted_User::copies, 0);
}

TEST_F(Loads_From_API, KeepsTheRecordsBeforeABadElement) {
  Users loaded;
  EXPECT_FALSE(loads_from_api(users, loaded));
  ASSERT_EQ(loaded.size(), 2u);  // the third lacks "user_id"; neither it nor the fourth is added
  EXPECT_EQ(loaded[1].name, "bob");
  EXPECT_EQ(log.messages(), std::vector<std::string>{
                                "Invalid resource format, exception: key 'user_id' not found.\n"});
}

TEST_F(Loads_From_API, EmptyArrayLoadsNothing) {
  Users loaded{{"usr-0", "root"}};
  EXPECT_TRUE(loads_from_api(json_spirit::Array(), loaded));
  EXPECT_EQ(loaded.size(), 1u);
  EXPECT_TRUE(log.messages().empty());
}

TEST_F(Loads_From_API, RefusesNonArraysAndNonObjectElements) {
  struct Case {
    json_spirit::Value value;
    const char* message;
    std::size_t size_after;
  } cases[] = {
      {json_value(R"({"user_id": "usr-1", "user_name": "a"})"),
       "Invalid resource format, exception: value is object, not array.\n", 1},
      {json_spirit::Value("usr-1"),
       "Invalid resource format, exception: value is string, not array.\n", 1},
      {json_spirit::Value(), "Invalid resource format, exception: value is null, not array.\n", 1},
      {json_value(R"([{"user_id": "usr-1", "user_name": "a"}, "usr-2"])"),
       "Invalid resource format, exception: value is string, not object.\n", 2},
  };
  for (const Case& c : cases) {
    Users loaded{{"usr-0", "root"}};
    log.clear();
    EXPECT_FALSE(loads_from_api(c.value, loaded));
    EXPECT_EQ(log.messages(), std::vector<std::string>{c.message});
    EXPECT_EQ(loaded.size(), c.size_after) << c.message;
    EXPECT_EQ(loaded.front().id, "usr-0");
  }
}

TEST_F(Loads_From_API, HandsExtraArgumentsToEachLoader) {
  const json_spirit::Value hosts = json_value(R"([
    {"host_machine": "sh1br08n02", "container_mode": "kvm", "free_disk": 512.5,
     "used_disk": 1536, "disk_usage": 0.75, "status": "active"}])");
  Hosts loaded;
  ASSERT_TRUE(loads_from_api(hosts, loaded, Host::Flags{Host::WITH_DISK_INFO}));
  ASSERT_EQ(loaded.size(), 1u);
  EXPECT_DOUBLE_EQ(loaded[0].free_disk, 512.5);
  EXPECT_DOUBLE_EQ(loaded[0].used_disk, 1536.0);  // an integer figure is still a figure
  EXPECT_DOUBLE_EQ(loaded[0].disk_usage, 0.75);
}

}  // namespace
}  // namespace qingcloud
