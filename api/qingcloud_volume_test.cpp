#include "api/qingcloud_volume.h"

#include <gtest/gtest.h>

#include "testing/exception_text.h"
#include "testing/json_text.h"
#include "testing/log_capture.h"

namespace qingcloud {
namespace {

using testing_support::exception_text;
using testing_support::json_value;

// A back-office volume element: the infrastructure reply's keys plus the
// replication policy and type code.
const char* const VOLUME = R"({
  "status": "in-use", "description": null, "volume_name": "vol 2", "sub_code": 0,
  "transition_status": "", "repl": "rpp-00000002", "volume_type": 2, "owner": "usr-CT3owI01",
  "instance": {"instance_id": "i-ogbndull", "instance_name": "", "device": "/dev/sdb"},
  "create_time": "2013-08-30T05:13:25Z", "volume_id": "vol-g7xy7d6g",
  "status_time": "2013-08-30T05:13:32Z", "size": 20})";

TEST(Volume, LoadsWithTheSizeInBytes) {
  Volume volume;
  volume.load_from_api_or_throw(json_value(VOLUME));
  EXPECT_EQ(volume.id, "vol-g7xy7d6g");
  EXPECT_EQ(volume.name, "vol 2");
  EXPECT_EQ(volume.instance, "i-ogbndull");
  EXPECT_EQ(volume.profile.repl, "rpp-00000002");
  EXPECT_EQ(volume.profile.volume_type, 2);
  EXPECT_EQ(volume.profile.size, 21474836480u);  // 20 GiB
}

// A size is a count of GiB that fits in bytes: never negative, never wrapped.
TEST(Volume, RefusesSizesThatAreNoByteCount) {
  struct Case {
    const char* size;
    std::string error;
  };
  const Case cases[] = {
      {"-1", "key 'size': integer -1 is negative, not unsigned"},
      {"17179869184", "Attribute 'size' is 17179869184 GiB, too large to be held in bytes"},
      {"18446744073709551615",
       "Attribute 'size' is 18446744073709551615 GiB, too large to be held in bytes"},
      {"17179869183", "no exception"},  // 2^34 - 1 GiB is the largest that fits
  };
  for (const Case& c : cases) {
    std::string text = VOLUME;
    text.replace(text.rfind("\"size\": 20"), 10, std::string("\"size\": ") + c.size);
    Volume volume;
    EXPECT_EQ(exception_text([&] { volume.load_from_api_or_throw(json_value(text)); }), c.error);
  }
}

TEST(Volume, RequiresTheAttachmentObjectAndItsInstanceId) {
  json_spirit::Value detached = json_value(VOLUME);
  detached.get_obj().erase("instance");
  json_spirit::Value no_id = json_value(VOLUME);
  no_id.get_obj()["instance"].get_obj().erase("instance_id");
  json_spirit::Value not_object = json_value(VOLUME);
  not_object.get_obj()["instance"] = "i-ogbndull";
  json_spirit::Value string_size = json_value(VOLUME);
  string_size.get_obj()["size"] = "20";

  struct Case {
    const json_spirit::Value& element;
    const char* error;
  } cases[] = {
      {detached, "key 'instance' not found"},
      {no_id, "key 'instance_id' not found"},
      {not_object, "key 'instance': value is string, not object"},
      {string_size, "key 'size': value is string, not integer"},
  };
  for (const Case& c : cases) {
    Volume volume;
    EXPECT_EQ(exception_text([&] { volume.load_from_api_or_throw(c.element); }), c.error);
  }
}

TEST(Volume_Profile, DumpsEveryKeyInBytesAndLoadsItBack) {
  Volume_Profile profile;
  profile.volume_type = 3;
  profile.size = 21474836480u;
  profile.repl = "rpp-00000002";
  const json_spirit::Object dumped = profile.dump();
  EXPECT_EQ(json_spirit::Value(dumped),
            json_value(R"({"repl": "rpp-00000002", "size": 21474836480, "volume_type": 3})"));
  EXPECT_TRUE(dumped.at("size").is_uint64());

  Volume_Profile loaded;
  EXPECT_TRUE(loaded.load(dumped));
  EXPECT_EQ(loaded.volume_type, 3);
  EXPECT_EQ(loaded.size, 21474836480u);
  EXPECT_EQ(loaded.repl, "rpp-00000002");

  EXPECT_EQ(json_spirit::Value(Volume_Profile().dump()),
            json_value(R"({"repl": "", "size": 0, "volume_type": 0})"));
}

TEST(Volume_Profile, LoadsLenientlyAndRefusesNonObjects) {
  testing_support::Log_Capture log;
  Volume_Profile profile;
  profile.volume_type = 3;
  profile.size = 1024;
  profile.repl = "rpp-1";
  ASSERT_TRUE(profile.load(json_value(R"({"volume_type": "3", "size": 2048, "repl": 7})")));
  EXPECT_EQ(profile.volume_type, 3);  // mistyped: kept
  EXPECT_EQ(profile.size, 2048u);
  EXPECT_EQ(profile.repl, "rpp-1");

  EXPECT_FALSE(profile.load(json_value(R"([{"size": 1}])")));
  EXPECT_FALSE(profile.load(json_spirit::Value("size")));
  EXPECT_EQ(profile.size, 2048u);
  EXPECT_EQ(log.messages(),
            (std::vector<std::string>{
                "Failed to load Volume_Profile from JSON: value is array, not object\n",
                "Failed to load Volume_Profile from JSON: value is string, not object\n"}));
}

}  // namespace
}  // namespace qingcloud
