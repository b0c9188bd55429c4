#include "api/api_error.h"

#include <gtest/gtest.h>

namespace qingcloud {
namespace {

TEST(Call_Error_Number, EachStageFixesItsNumber) {
  EXPECT_EQ(call_error_number(Call_Stage::PREPARE), API_INTERNAL_ERROR);
  EXPECT_EQ(call_error_number(Call_Stage::EXCHANGE), API_NETWORK_ERROR);
  EXPECT_EQ(call_error_number(Call_Stage::DECODE), API_INTERNAL_ERROR);
  EXPECT_EQ(call_error_number(Call_Stage::ANSWERED, 0), API_SUCCESS);
  EXPECT_EQ(call_error_number(Call_Stage::ANSWERED, 1400), 1400);
  EXPECT_EQ(call_error_number(Call_Stage::ANSWERED, -3), -3);
}

TEST(Call_Error_Number, OnlyA2xxReplyWithABodyCarriesAnAnswer) {
  struct Case {
    int status;
    bool body;
    bool expected;
  } cases[] = {{200, true, true},   {299, true, true},  {204, false, false},
               {200, false, false}, {199, true, false}, {300, true, false},
               {404, true, false},  {500, true, false}, {0, false, false}};
  for (const Case& c : cases)
    EXPECT_EQ(reply_carries_answer(c.status, c.body), c.expected) << c.status << " " << c.body;
}

TEST(Action_Changes_Resources, AllButTheQueries) {
  for (const char* query : {"DescribeZones", "DescribeJobs", "GetLeaseInfo", "Boss2DescribeBots",
                            "Boss2GetBotsBasicInfo"})
    EXPECT_FALSE(action_changes_resources(query)) << query;
  for (const char* change : {"RunInstances", "TerminateInstances", "CreateVolumes", "DeleteVolumes",
                             "CreateSnapshots", "MigrateInstances", "Boss2", "", "describe"})
    EXPECT_TRUE(action_changes_resources(change)) << change;
}

}  // namespace
}  // namespace qingcloud
