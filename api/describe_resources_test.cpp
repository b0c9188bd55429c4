#include <memory>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "api/common_client.h"
#include "testing/client_fixture.h"

namespace qingcloud {
namespace {

using json_spirit::Array;
using json_spirit::Object;
using json_spirit::Value;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using testing_support::page_reply;
using testing_support::Received_Request;
using testing_support::Scripted_Reply;
using testing_support::sent_params;

class Describe_Resources : public testing_support::Client_Test {
 protected:
  // The server holds `count` jobs and answers pages by "offset" and "limit";
  // `total_of` may make the reported total differ from page to page.
  void serve(int count, std::function<std::int64_t(int page)> total_of = nullptr) {
    // The server may copy its responder, so the page count lives apart.
    auto page = std::make_shared<int>(0);
    server.responder([count, total_of, page](const Received_Request& r) {
      Object params = sent_params(r);
      int offset = std::stoi(params["offset"].get_str());
      int limit = std::stoi(params["limit"].get_str());
      Array records;
      for (int i = offset; i < std::min(count, offset + limit); ++i) {
        records.push_back(Object{{"job_id", "j-" + std::to_string(i)}});
      }
      std::int64_t total = total_of ? total_of((*page)++) : count;
      return Scripted_Reply::json(page_reply(total, "job_set", records));
    });
  }

  std::vector<std::string> offsets() const {
    std::vector<std::string> out;
    for (const Received_Request& r : requests())
      out.push_back(sent_params(r)["offset"].get_str());
    return out;
  }

  // Describes every job, collecting ids page by page.
  bool describe_all(Object params = Object()) {
    return client.describe_resources("DescribeJobs", params,
                                     Describe_Resource_Handler(
                                         "job_set",
                                         [this](const Value& page) {
                                           pages.push_back(page.get_array().size());
                                           return true;
                                         },
                                         [this](std::int64_t total) {
                                           totals.push_back({total, pages.size()});
                                         }));
  }

  std::vector<std::size_t> pages;
  // Each total the handler was told, with the number of pages it had then.
  std::vector<std::pair<std::int64_t, std::size_t>> totals;
};

TEST_F(Describe_Resources, PagesByTotalCount) {
  struct Case {
    int records;
    std::vector<std::string> offsets;
    std::vector<std::size_t> pages;
  };
  const Case cases[] = {
      {0, {"0"}, {}},
      {100, {"0"}, {100}},
      {101, {"0", "100"}, {100, 1}},
      {250, {"0", "100", "200"}, {100, 100, 50}},
  };
  log_in();
  for (const Case& c : cases) {
    clear_requests();
    pages.clear();
    totals.clear();
    serve(c.records);
    EXPECT_TRUE(describe_all()) << c.records;
    EXPECT_THAT(offsets(), ElementsAreArray(c.offsets)) << c.records;
    EXPECT_THAT(pages, ElementsAreArray(c.pages)) << c.records;
    // The total is told once, before the first page; an empty set has none.
    using Told = std::pair<std::int64_t, std::size_t>;
    const std::vector<Told> told =
        c.records == 0 ? std::vector<Told>() : std::vector<Told>{Told(c.records, 0)};
    EXPECT_EQ(totals, told) << c.records;
  }
  EXPECT_TRUE(log.messages().empty());
}

TEST_F(Describe_Resources, SendsTheCommonParametersAndReplacesACallersPaging) {
  log_in();
  serve(0);
  Object params{{"limit", 10}, {"offset", 40}, {"jobs", Array{"j-1"}}};
  ASSERT_TRUE(describe_all(params));
  Object sent = sent_params(requests().at(0));
  EXPECT_EQ(sent["limit"], Value("100"));
  EXPECT_EQ(sent["offset"], Value("0"));
  EXPECT_EQ(sent["jobs.1"], Value("j-1"));
  EXPECT_EQ(sent["action"], Value("DescribeJobs"));
  EXPECT_EQ(sent.count("zone"), 0u);  // zone-bound callers add it themselves
}

TEST_F(Describe_Resources, ATotalThatChangesBetweenPagesFails) {
  log_in();
  serve(260, [](int page) { return page == 0 ? 250 : 251; });
  EXPECT_FALSE(describe_all());
  EXPECT_THAT(pages, ElementsAre(100));  // the first page was already handed over
  EXPECT_TRUE(log.has("Number of resource changed, expected '250', actual '251'.\n"));
}

// A reply that keeps announcing records it never sends, or more records than
// a platform holds, must not keep the thread paging: the call ends as an
// invalid reply.  A short page alone does not end the loop.
TEST_F(Describe_Resources, RepliesThatWouldPageForeverFail) {
  struct Case {
    const char* what;
    int records;         // what the server holds
    std::int64_t total;  // what it reports on every page
    std::vector<std::string> offsets;
    std::vector<std::size_t> pages;
    const char* message;
  };
  const Case cases[] = {
      {"beyond the ceiling",
       100,
       2000000000,
       {"0"},
       {},
       "Invalid response format, 'DescribeJobs' reports total_count '2000000000', more than the "
       "'10000000' records a platform holds.\n"},
      {"empty at the ceiling",
       0,
       Common_Client::MAX_TOTAL_COUNT,
       {"0"},
       {},
       "Invalid response format, 'DescribeJobs' returned no records at offset '0' of "
       "total_count '10000000'.\n"},
      {"runs dry after a short page",
       150,
       300,
       {"0", "100", "200"},
       {100, 50},
       "Invalid response format, 'DescribeJobs' returned no records at offset '200' of "
       "total_count '300'.\n"},
  };
  log_in();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    clear_requests();
    pages.clear();
    log.clear();
    serve(c.records, [&c](int) { return c.total; });
    EXPECT_FALSE(describe_all());
    EXPECT_EQ(offsets(), c.offsets);
    EXPECT_EQ(pages, c.pages);
    EXPECT_EQ(log.messages(), std::vector<std::string>{c.message});
    EXPECT_EQ(client.err_code(), -1);
  }
}

TEST_F(Describe_Resources, HandlersWithoutKeyGetTheWholeReply) {
  log_in();
  serve(3);
  Object params;
  std::vector<Value> replies;
  ASSERT_TRUE(client.describe_resources("DescribeJobs", params,
                                        Describe_Resource_Handler(nullptr, [&](const Value& reply) {
                                          replies.push_back(reply);
                                          return true;
                                        })));
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].get_obj().at("total_count"), Value(3));
  EXPECT_EQ(replies[0].get_obj().at("job_set").get_array().size(), 3u);
  // The caller's params keep the common parameters and the last page's paging.
  EXPECT_EQ(params["offset"], Value(100));
  EXPECT_EQ(params["action"], Value("DescribeJobs"));
}

TEST_F(Describe_Resources, FailuresOfTheReplyAndTheHandler) {
  log_in();
  Object params;
  server.script(Scripted_Reply::json(R"({"ret_code": 0, "job_set": []})"));
  EXPECT_FALSE(describe_all());
  EXPECT_TRUE(log.has("Invalid response format, exception: key 'total_count' not found.\n"));

  server.script(Scripted_Reply::json(R"({"ret_code": 0, "total_count": 1})"));
  EXPECT_FALSE(describe_all());
  EXPECT_TRUE(log.has("Invalid response format, exception: key 'job_set' not found.\n"));

  server.script(Scripted_Reply::json(R"({"ret_code": 0, "total_count": "1", "job_set": []})"));
  EXPECT_FALSE(describe_all());
  EXPECT_EQ(log.count("Invalid response format, exception: key 'total_count': value is "
                      "string, not integer.\n"),
            1u);

  serve(5);
  EXPECT_FALSE(client.describe_resources("DescribeJobs", params,
                                         Describe_Resource_Handler("job_set", Handler())));
  EXPECT_FALSE(client.describe_resources(
      "DescribeJobs", params,
      Describe_Resource_Handler("job_set", [](const Value&) { return false; })));

  server.script(Scripted_Reply::json(R"({"ret_code": 2100, "message": "ResourceNotFound"})"));
  EXPECT_FALSE(describe_all());
  EXPECT_EQ(client.err_code(), 2100);
}

TEST_F(Describe_Resources, AnEmptyActionSendsNothing) {
  log_in();
  Object params;
  auto handler = Describe_Resource_Handler("job_set", [](const Value&) { return true; });
  EXPECT_FALSE(client.describe_resources("", params, handler));
  EXPECT_FALSE(client.describe_resources(nullptr, params, handler));
  EXPECT_TRUE(log.has_unexpected("action is NULL or \"\""));
  EXPECT_TRUE(requests().empty());
  EXPECT_TRUE(params.empty());
}

}  // namespace
}  // namespace qingcloud
