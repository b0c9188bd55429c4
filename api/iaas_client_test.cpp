// Replies the platform should not give, from a scripted server.
#include "api/iaas_client.h"

#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "api/instance_password.h"
#include "testing/client_fixture.h"
#include "testing/log_capture.h"
#include "testing/scripted_http_server.h"

namespace qingcloud {
namespace {

using testing_support::Scripted_Reply;

class Iaas_Client_Replies : public ::testing::Test {
 protected:
  void SetUp() override {
    server.script(Scripted_Reply::json(
        testing_support::page_reply(1, "zone_set", {json_spirit::Object{{"zone_id", "pek3a"}}})));
    ASSERT_TRUE(client.login("127.0.0.1", server.port(), false, secure_string("QYKEY"),
                             secure_string("secret")));
    ASSERT_TRUE(client.switch_zone("pek3a"));
    log.clear();
  }

  testing_support::Log_Capture log;
  testing_support::Scripted_HTTP_Server server;
  IAAS_Client client{"5.1.1", "usr-a"};
};

TEST_F(Iaas_Client_Replies, CreateRepliesMustNameWhatWasCreated) {
  struct Case {
    const char* reply;
    std::function<bool(IAAS_Client&)> call;
    const char* message;
  };
  std::string id, job_id;
  std::vector<std::string> snapshot_ids;
  const auto run = [&](IAAS_Client& c) {
    Instance_Profile profile;
    return c.run_instance("", "img-1", profile, {}, {}, id, &job_id);
  };
  const auto create_volume = [&](IAAS_Client& c) {
    return c.create_volume("v", Volume_Profile(), id, &job_id);
  };
  const auto snapshot = [&](IAAS_Client& c) {
    return c.create_snapshots("s", {"vol-1"}, snapshot_ids, &job_id);
  };
  const Case cases[] = {
      {R"({"ret_code":0,"job_id":"j-1","instances":["i-1","i-2"]})", run,
       "Invalid instances format.\n"},
      {R"({"ret_code":0,"job_id":"j-1","instances":[7]})", run, "Invalid instances format.\n"},
      {R"({"ret_code":0,"job_id":"j-1","volumes":"vol-1"})", create_volume,
       "Invalid volumes format.\n"},
      {R"({"ret_code":0,"job_id":"j-1","volumes":[]})", create_volume, "Invalid volumes format.\n"},
      {R"({"ret_code":0,"job_id":"j-1","snapshots":"ss-1"})", snapshot,
       "Expected array type for snapshots.\n"},
      {R"({"ret_code":0,"job_id":"j-1","snapshots":[]})", snapshot, "No snapshots created.\n"},
  };
  for (const Case& c : cases) {
    log.clear();
    server.script(Scripted_Reply::json(c.reply));
    EXPECT_FALSE(c.call(client)) << c.reply;
    EXPECT_EQ(log.messages(), std::vector<std::string>{c.message}) << c.reply;
  }
  EXPECT_TRUE(snapshot_ids.empty());

  // Elements that are not ids are passed over.
  server.script(Scripted_Reply::json(R"({"ret_code":0,"job_id":"j-1","snapshots":["ss-1",2]})"));
  EXPECT_TRUE(snapshot(client));
  EXPECT_EQ(snapshot_ids, std::vector<std::string>{"ss-1"});
}

TEST(Instance_Password, HasEveryClassOfCharacterAndIsNeverTheSame) {
  secure_string first, second;
  ASSERT_TRUE(generate_instance_password(first));
  ASSERT_TRUE(generate_instance_password(second));
  EXPECT_NE(first, second);
  for (const secure_string* p : {&first, &second}) {
    ASSERT_EQ(p->size(), INSTANCE_PASSWORD_LENGTH);
    bool upper = false, lower = false, digit = false;
    for (char c : *p) {
      upper = upper || std::isupper(static_cast<unsigned char>(c));
      lower = lower || std::islower(static_cast<unsigned char>(c));
      digit = digit || std::isdigit(static_cast<unsigned char>(c));
    }
    EXPECT_TRUE(upper && lower && digit) << std::string(p->data(), p->size());
  }
}

}  // namespace
}  // namespace qingcloud
