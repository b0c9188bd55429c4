#include <memory>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "api/common_client.h"
#include "testing/client_fixture.h"
#include "testing/fake_sleep.h"

namespace qingcloud {
namespace {

using json_spirit::Array;
using json_spirit::Object;
using json_spirit::Value;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing_support::page_reply;
using testing_support::Received_Request;
using testing_support::Scripted_Reply;
using testing_support::sent_params;
using testing_support::take_sleeps;

std::string job_reply(const std::string& status) {
  return page_reply(1, "job_set", Array{Object{{"job_id", "j-1"}, {"status", status}}});
}

class Jobs : public testing_support::Client_Test {
 protected:
  void SetUp() override {
    log_in({"pek3a"});
    ASSERT_TRUE(client.switch_zone("pek3a"));
    take_sleeps();
  }

  // Answers "DescribeJobs" with the given states in turn, the last one for ever.
  void job_states(std::vector<std::string> states) {
    // The server may copy its responder, so the position lives apart.
    auto next = std::make_shared<std::size_t>(0);
    server.responder([states, next](const Received_Request&) {
      const std::string& state = states[std::min((*next)++, states.size() - 1)];
      return Scripted_Reply::json(job_reply(state));
    });
  }

  std::size_t count_of(const std::string& action) const {
    std::size_t n = 0;
    for (const Received_Request& r : requests())
      n += sent_params(r)["action"] == Value(action);
    return n;
  }
};

TEST_F(Jobs, ASuccessfulJobIsSeenAtTheFirstQuery) {
  job_states({"successful"});
  EXPECT_TRUE(client.poll_job("j-1"));
  EXPECT_THAT(take_sleeps(), IsEmpty());
  auto sent = requests();
  ASSERT_EQ(sent.size(), 1u);
  Object params = sent_params(sent[0]);
  EXPECT_EQ(params["action"], Value("DescribeJobs"));
  EXPECT_EQ(params["jobs.1"], Value("j-1"));
  EXPECT_EQ(params["zone"], Value("pek3a"));
}

TEST_F(Jobs, AFailedJobEndsThePollingAtOnce) {
  job_states({"working", "failed"});
  EXPECT_FALSE(client.poll_job("j-1"));
  EXPECT_THAT(take_sleeps(), ElementsAre(1));
  EXPECT_TRUE(log.has("Failed to poll job 'j-1'.\n"));
}

TEST_F(Jobs, OtherStatesKeepPolling) {
  job_states({"pending", "working", "suspended?", "successful"});
  EXPECT_TRUE(client.poll_job("j-1"));
  EXPECT_THAT(take_sleeps(), ElementsAre(1, 2, 4));
  EXPECT_EQ(count_of("DescribeJobs"), 4u);
}

TEST_F(Jobs, AJobThatIsNeverFoundUsesUpTheBudget) {
  server.responder([](const Received_Request&) {
    return Scripted_Reply::json(page_reply(0, "job_set", Array{}));
  });
  EXPECT_FALSE(client.poll_job("j-1"));
  EXPECT_THAT(take_sleeps(), ElementsAre(1, 2, 4, 8, 16, 32, 60, 60, 60, 60, 57));
  EXPECT_EQ(count_of("DescribeJobs"), 12u);
  EXPECT_EQ(log.messages(), std::vector<std::string>{"Failed to poll job 'j-1'.\n"});
}

TEST_F(Jobs, AnUnreadableJobRecordFailsThePolling) {
  server.script(Scripted_Reply::json(page_reply(1, "job_set", Array{})));
  EXPECT_FALSE(client.poll_job("j-1"));
  EXPECT_THAT(log.messages(),
              ElementsAre("Invalid response format, 'DescribeJobs' returned no records at offset "
                          "'0' of total_count '1'.\n",
                          "Failed to describe jobs.\n", "Failed to poll job 'j-1'.\n"));
  log.clear();
  server.script(Scripted_Reply::json(page_reply(1, "job_set", Array{Object{{"status", 1}}})));
  EXPECT_FALSE(client.poll_job("j-1"));
  EXPECT_TRUE(
      log.has("Invalid job format, exception: key 'status': value is integer, not "
              "string.\n"));
}

TEST_F(Jobs, AFailedQueryIsNotRetried) {
  server.script(Scripted_Reply::with_status(500, "oops"));
  EXPECT_FALSE(client.poll_job("j-1"));
  EXPECT_THAT(take_sleeps(), IsEmpty());
  EXPECT_EQ(client.err_code(), -2);
  EXPECT_TRUE(log.has("Failed to describe jobs.\n"));
}

TEST_F(Jobs, PreconditionsOfPolling) {
  EXPECT_FALSE(client.poll_job(""));
  EXPECT_TRUE(log.has_unexpected("job_id is empty"));
  testing_support::Test_Client no_zone(HTTP_METHOD_GET, "/iaas/");
  EXPECT_FALSE(no_zone.poll_job("j-1"));
  EXPECT_TRUE(log.has_unexpected("zone_ is NULL"));
  EXPECT_TRUE(requests().empty());
}

TEST_F(Jobs, ExecuteJobLeavesTheIdOrWaits) {
  server.script(Scripted_Reply::json(R"({"ret_code": 0, "job_id": "j-9"})"));
  Object params{{"instances", Array{"i-1"}}, {"zone", "pek3a"}};
  std::string id;
  EXPECT_TRUE(client.execute_job("StartInstances", params, &id));
  EXPECT_EQ(id, "j-9");
  EXPECT_EQ(requests().size(), 1u);
  EXPECT_EQ(sent_params(requests()[0])["instances.1"], Value("i-1"));

  clear_requests();
  server.script(Scripted_Reply::json(R"({"ret_code": 0, "job_id": "j-10"})"));
  job_states({"working", "successful"});
  EXPECT_TRUE(client.execute_job("StartInstances", params, nullptr));
  EXPECT_EQ(count_of("DescribeJobs"), 2u);
  EXPECT_EQ(sent_params(requests()[1])["jobs.1"], Value("j-10"));
}

TEST_F(Jobs, ExecuteJobNeedsAStringJobId) {
  std::string id = "untouched";
  Object params;
  for (const char* reply : {R"({"ret_code": 0})", R"({"ret_code": 0, "job_id": ["j-1"]})"}) {
    server.script(Scripted_Reply::json(reply));
    EXPECT_FALSE(client.execute_job("StopInstances", params, &id)) << reply;
  }
  EXPECT_EQ(id, "untouched");
  EXPECT_TRUE(log.has("Invalid response format, exception: key 'job_id' not found.\n"));
  EXPECT_TRUE(
      log.has("Invalid response format, exception: key 'job_id': value is array, not string.\n"));
  EXPECT_FALSE(client.execute_job("", params, &id));
  EXPECT_TRUE(log.has_unexpected("action is NULL or \"\""));
}

class Create_Resources : public Jobs {
 protected:
  bool create(std::string* job_id) {
    Object params{{"zone", "pek3a"}};
    return client.create_resources(
        "CreateVolumes", params, Create_Resource_Handler("volumes", job_id, [this](const Value& v) {
          created.push_back(v);
          return true;
        }));
  }
  std::vector<Value> created;
};

TEST_F(Create_Resources, TakesTheJobIdAsStringOrFirstArrayElement) {
  for (const char* id_json : {R"("j-5")", R"(["j-5"])", R"(["j-5", "j-6"])"}) {
    server.script(Scripted_Reply::json(
        std::string(R"({"ret_code": 0, "volumes": ["vol-1"], "job_id": )") + id_json + "}"));
    std::string job_id;
    EXPECT_TRUE(create(&job_id)) << id_json;
    EXPECT_EQ(job_id, "j-5") << id_json;
  }
  ASSERT_EQ(created.size(), 3u);
  EXPECT_EQ(created[0], Value(Array{"vol-1"}));
  EXPECT_EQ(count_of("DescribeJobs"), 0u);  // with a job id pointer nothing waits
}

TEST_F(Create_Resources, RefusesOtherJobIdShapes) {
  struct Case {
    const char* reply;
    const char* message;
  };
  const Case cases[] = {
      {R"({"ret_code": 0, "volumes": [], "job_id": 7})", "Invalid job_id type, 5.\n"},
      {R"({"ret_code": 0, "volumes": [], "job_id": {}})", "Invalid job_id type, 0.\n"},
      {R"({"ret_code": 0, "volumes": [], "job_id": null})", "Invalid job_id type, 7.\n"},
      {R"({"ret_code": 0, "volumes": [], "job_id": []})",
       "Invalid response format, exception: array 'job_id' is empty.\n"},
      {R"({"ret_code": 0, "volumes": [], "job_id": [3]})",
       "Invalid response format, exception: value is integer, not string.\n"},
      {R"({"ret_code": 0, "volumes": []})",
       "Invalid response format, exception: key 'job_id' not found.\n"},
      {R"({"ret_code": 0, "job_id": "j-1"})",
       "Invalid response format, exception: key 'volumes' not found.\n"},
  };
  for (const Case& c : cases) {
    log.clear();
    server.script(Scripted_Reply::json(c.reply));
    std::string job_id;
    EXPECT_FALSE(create(&job_id)) << c.reply;
    EXPECT_EQ(log.messages(), std::vector<std::string>{c.message}) << c.reply;
  }
  EXPECT_TRUE(created.empty());
}

TEST_F(Create_Resources, WaitsForTheJobBeforeHandingOverTheReply) {
  server.script(Scripted_Reply::json(R"({"ret_code": 0, "volumes": ["vol-2"], "job_id": "j-7"})"));
  job_states({"working", "successful"});
  EXPECT_TRUE(create(nullptr));
  EXPECT_EQ(count_of("DescribeJobs"), 2u);
  ASSERT_EQ(created.size(), 1u);

  server.script(Scripted_Reply::json(R"({"ret_code": 0, "volumes": ["vol-3"], "job_id": "j-8"})"));
  job_states({"failed"});
  EXPECT_FALSE(create(nullptr));
  EXPECT_EQ(created.size(), 1u);  // a failed job's reply is not handed over
  EXPECT_TRUE(log.has("Failed to poll job 'j-8'.\n"));
}

TEST_F(Create_Resources, WithoutKeyTheHandlerGetsTheWholeReply) {
  server.script(Scripted_Reply::json(R"({"ret_code": 0, "job_id": "j-1", "snapshots": []})"));
  Object params;
  std::string job_id;
  Value seen;
  EXPECT_TRUE(client.create_resources("CreateSnapshots", params,
                                      Create_Resource_Handler("", &job_id, [&](const Value& v) {
                                        seen = v;
                                        return true;
                                      })));
  EXPECT_EQ(seen.get_obj().at("job_id"), Value("j-1"));
  server.script(Scripted_Reply::json(R"({"ret_code": 0, "job_id": "j-1"})"));
  EXPECT_FALSE(client.create_resources("CreateSnapshots", params,
                                       Create_Resource_Handler("", &job_id, Handler())));
}

}  // namespace
}  // namespace qingcloud
