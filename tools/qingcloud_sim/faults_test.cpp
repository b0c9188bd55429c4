#include "tools/qingcloud_sim/faults.h"

#include <boost/json/parse.hpp>
#include <gtest/gtest.h>

#include "tools/qingcloud_sim/reply_shaping.h"

namespace qingcloud_sim {
namespace {

const Fault_Kind ALL_KINDS[] = {Fault_Kind::HTTP_STATUS,
                                Fault_Kind::NOT_JSON,
                                Fault_Kind::NO_RET_CODE,
                                Fault_Kind::RET_CODE,
                                Fault_Kind::DELAY,
                                Fault_Kind::DROP_CONNECTION,
                                Fault_Kind::TOTAL_COUNT_DRIFT,
                                Fault_Kind::EMPTY_PAGES,
                                Fault_Kind::MALFORMED_RECORD,
                                Fault_Kind::JOB_FAILS,
                                Fault_Kind::LEASE_NEVER_ACTIVE};

TEST(Faults, Every_kind_has_a_name_a_line_of_documentation_and_a_json_form) {
  for (Fault_Kind kind : ALL_KINDS) {
    Fault_Kind parsed;
    ASSERT_TRUE(parse_fault_kind(fault_name(kind), &parsed)) << fault_name(kind);
    EXPECT_EQ(parsed, kind);
    EXPECT_GT(std::string(fault_doc(kind)).size(), 20u);
    Fault f;
    f.kind = kind;
    f.action = "DescribeZones";
    f.count = 3;
    const Fault back = Fault::from_json(f.to_json());
    EXPECT_EQ(back.kind, kind);
    EXPECT_EQ(back.action, "DescribeZones");
    EXPECT_EQ(back.count, 3);
  }
}

TEST(Faults, Json_members) {
  auto parse = [](const char* text) {
    return Fault::from_json(boost::json::parse(text).as_object());
  };
  const Fault a = parse(R"({"fault":"http_status","status":404,"body":"gone","times":-1})");
  EXPECT_EQ(a.status, 404);
  EXPECT_EQ(a.body, "gone");
  EXPECT_EQ(a.count, -1);
  EXPECT_EQ(parse(R"({"fault":"http_status","status":200})").body, std::nullopt);
  EXPECT_FALSE(parse(R"({"fault":"not_json"})").body->empty());
  const Fault r = parse(R"({"fault":"ret_code","ret_code":1400,"message":"PermissionDenied, no"})");
  EXPECT_EQ(r.code, 1400);
  EXPECT_EQ(r.message, "PermissionDenied, no");
  EXPECT_EQ(parse(R"({"fault":"delay","delay_ms":250})").delay_ms, 250);
  for (const char* bad : {R"({"fault":"gremlins"})", R"({})", R"({"fault":"delay","delay_ms":"x"})",
                          R"({"fault":"http_status","status":99})",
                          R"({"fault":"delay","times":0})", R"({"fault":"http_status","body":5})"})
    EXPECT_THROW(parse(bad), std::invalid_argument) << bad;
}

TEST(Faults, The_table_uses_faults_up_in_order) {
  Fault_Table table;
  const Request_Traits describe = traits_of("DescribeInstances", 0);
  table.add(Fault::delay(10).on("DescribeInstances").times(2));
  table.add(Fault::http_status(503).on("DescribeZones"));
  table.add(Fault::ret_code(1400, "PermissionDenied, x").times(2));
  table.add(Fault::malformed_record().forever());

  // A delay and the first answering fault of the action; the malformed-record
  // fault waits, since the answer is not served.
  Chosen_Faults c = table.take("DescribeInstances", describe);
  EXPECT_EQ(c.delay_ms, 10);
  ASSERT_TRUE(c.answer);
  EXPECT_EQ(c.answer->kind, Fault_Kind::RET_CODE);
  EXPECT_TRUE(c.others.empty());

  c = table.take("DescribeZones", traits_of("DescribeZones", 0));
  EXPECT_EQ(c.delay_ms, 0);
  EXPECT_EQ(c.answer->kind, Fault_Kind::HTTP_STATUS);

  c = table.take("DescribeInstances", describe);
  EXPECT_EQ(c.delay_ms, 10);
  EXPECT_EQ(c.answer->kind, Fault_Kind::RET_CODE);

  c = table.take("DescribeInstances", describe);  // only the lasting one is left
  EXPECT_EQ(c.delay_ms, 0);
  EXPECT_FALSE(c.answer);
  EXPECT_TRUE(c.has(Fault_Kind::MALFORMED_RECORD));
  EXPECT_EQ(table.armed().size(), 1u);
  table.clear();
  EXPECT_TRUE(table.armed().empty());
}

TEST(Faults, Shaping_faults_wait_for_requests_they_can_shape) {
  Fault_Table table;
  table.add(Fault::total_count_drift());
  table.add(Fault::job_fails());
  table.add(Fault::lease_never_active());
  EXPECT_TRUE(table.take("DescribeInstances", traits_of("DescribeInstances", 0)).others.empty());
  EXPECT_TRUE(table.take("DescribeZones", traits_of("DescribeZones", 0)).others.empty());
  const Chosen_Faults page2 = table.take("DescribeInstances", traits_of("DescribeInstances", 100));
  EXPECT_EQ(page2.kinds(), std::vector<Fault_Kind>{Fault_Kind::TOTAL_COUNT_DRIFT});
  const Chosen_Faults run = table.take("RunInstances", traits_of("RunInstances", 0));
  EXPECT_EQ(run.kinds(),
            (std::vector<Fault_Kind>{Fault_Kind::JOB_FAILS, Fault_Kind::LEASE_NEVER_ACTIVE}));
  EXPECT_TRUE(table.armed().empty());
}

TEST(Reply_Shaping, Drift_empty_pages_malformed_record_and_missing_ret_code) {
  const std::string page =
      R"({"action":"DescribeInstancesResponse","instance_set":[{"instance_id":"i-1","status":"running"},)"
      R"({"instance_id":"i-2"}],"total_count":250,"ret_code":0})";
  auto shaped = [&](const std::string& reply, std::vector<Fault_Kind> kinds) {
    Chosen_Faults c;
    for (Fault_Kind kind : kinds) {
      c.others.emplace_back();
      c.others.back().kind = kind;
    }
    return boost::json::parse(shape_reply(reply, c)).as_object();
  };
  EXPECT_EQ(shape_reply(page, Chosen_Faults()), page);
  EXPECT_EQ(shaped(page, {Fault_Kind::TOTAL_COUNT_DRIFT}).at("total_count"), 251);
  const auto empty = shaped(page, {Fault_Kind::EMPTY_PAGES});
  EXPECT_EQ(empty.at("total_count"), 2000000000);
  EXPECT_TRUE(empty.at("instance_set").as_array().empty());
  const auto broken = shaped(page, {Fault_Kind::MALFORMED_RECORD});
  EXPECT_FALSE(broken.at("instance_set").at(0).as_object().contains("instance_id"));
  EXPECT_TRUE(broken.at("instance_set").at(1).as_object().contains("instance_id"));
  EXPECT_FALSE(shaped(page, {Fault_Kind::NO_RET_CODE}).contains("ret_code"));

  const auto jobs = shaped(R"({"job_set":[{"job_id":"j-1","status":"working"}],"ret_code":0})",
                           {Fault_Kind::MALFORMED_RECORD});
  EXPECT_FALSE(jobs.at("job_set").at(0).as_object().contains("status"));
  const auto bots =
      shaped(R"({"bot_set":[{"host_machine":"h"}],"ret_code":0})", {Fault_Kind::MALFORMED_RECORD});
  EXPECT_FALSE(bots.at("bot_set").at(0).as_object().contains("host_machine"));
  const auto lease =
      shaped(R"({"lease_info":{"status":"active"},"ret_code":0})", {Fault_Kind::MALFORMED_RECORD});
  EXPECT_FALSE(lease.at("lease_info").as_object().contains("status"));
  const auto error =
      shaped(R"({"message":"ParameterError, x","ret_code":1100})", {Fault_Kind::NO_RET_CODE});
  EXPECT_EQ(error.at("message"), "ParameterError, x");
  EXPECT_FALSE(error.contains("ret_code"));
  Chosen_Faults with_message;
  with_message.others.push_back(Fault::no_ret_code("InternalError, lost"));
  const auto text = shape_reply(R"({"action":"DescribeZonesResponse","ret_code":0})", with_message);
  EXPECT_EQ(boost::json::parse(text), (boost::json::object{{"action", "DescribeZonesResponse"},
                                                           {"message", "InternalError, lost"}}));
}

}  // namespace
}  // namespace qingcloud_sim
