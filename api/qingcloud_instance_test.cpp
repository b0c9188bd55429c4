#include "api/qingcloud_instance.h"

#include <functional>

#include <gtest/gtest.h>

#include "testing/exception_text.h"
#include "testing/json_text.h"
#include "testing/log_capture.h"

namespace qingcloud {
namespace {

using json_spirit::Object;
using json_spirit::Value;
using testing_support::exception_text;
using testing_support::json_value;

class Instance_Load : public ::testing::Test {
 public:
  // A real reply element: one running instance on one network, no volumes.
  Value element = testing_support::reply_element("DescribeInstances.json", "instance_set", 0);
  Object& top() { return element.get_obj(); }
  Object& extra() { return top()["extra"].get_obj(); }

  std::string load_error() {
    Instance instance;
    return exception_text([&] { instance.load_from_api_or_throw(element); });
  }
};

TEST_F(Instance_Load, LoadsAPlatformReply) {
  extra()["os_disk_size"] = 20;
  extra()["cpu_model"] = "Cascadelake";
  Instance instance;
  instance.load_from_api_or_throw(element);
  EXPECT_EQ(instance.status, "running");
  EXPECT_EQ(instance.owner, "usr-CT3owI01");
  EXPECT_EQ(instance.host, "sh1br08n02");
  EXPECT_EQ(instance.image, "centos77x64a");
  EXPECT_EQ(instance.id, "i-ets7af6q");
  EXPECT_EQ(instance.name, "");
  EXPECT_EQ(instance.profile.instance_type, "s1.large.r1");
  EXPECT_EQ(instance.profile.cpu_model, "Cascadelake");
  EXPECT_EQ(instance.profile.cpu_topology, "");
  EXPECT_EQ(instance.profile.cpu, 2);
  EXPECT_EQ(instance.profile.memory, 2048);
  EXPECT_EQ(instance.profile.os_disk_size, 21474836480u);  // 20 GiB
  EXPECT_EQ(instance.profile.instance_class, 101);
  EXPECT_EQ(instance.vxnets, std::vector<std::string>{"vxnet-phgzwim"});
  EXPECT_TRUE(instance.volumes.empty());
}

TEST_F(Instance_Load, KeepsOnlyTheUsableElementsOfItsArrays) {
  top()["volume_ids"] = json_value(R"(["vol-aaaa0001", 7, "vol-aaaa0002"])");
  top()["vxnets"] = json_value(R"([{"vxnet_id": "vxnet-0", "vxnet_type": 2}, "vxnet-x", null,
                                  {"vxnet_id": "vxnet-phgzwim"}])");
  Instance instance;
  instance.load_from_api_or_throw(element);
  EXPECT_EQ(instance.volumes, (std::vector<std::string>{"vol-aaaa0001", "vol-aaaa0002"}));
  EXPECT_EQ(instance.vxnets, (std::vector<std::string>{"vxnet-0", "vxnet-phgzwim"}));

  top()["vxnets"] = json_value(R"([{"vxnet_id": "vxnet-0"}, {"nic_id": "52:54:99:f4:da:2c"}])");
  EXPECT_EQ(load_error(), "key 'vxnet_id' not found");
}

TEST_F(Instance_Load, NamesTheFullPathOfWhatIsMissing) {
  struct Case {
    const char* what;
    std::function<void(Instance_Load&)> damage;
    const char* error;
  } cases[] = {
      {"no extra", [](Instance_Load& t) { t.top().erase("extra"); },
       "JSON Pointer path '/extra' not exist in JSON!"},
      {"no cpu model", [](Instance_Load& t) { t.extra().erase("cpu_model"); },
       "JSON Pointer path '/extra/cpu_model' not exist in JSON!"},
      {"disk size as text", [](Instance_Load& t) { t.extra()["os_disk_size"] = "50"; },
       "JSON Pointer path '/extra/os_disk_size' not exist in JSON!"},
      {"no image id", [](Instance_Load& t) { t.top()["image"].get_obj().erase("image_id"); },
       "JSON Pointer path '/image/image_id' not exist in JSON!"},
      {"image not an object", [](Instance_Load& t) { t.top()["image"] = "centos77x64a"; },
       "JSON Pointer path '/image/image_id' not exist in JSON!"},
      {"cpus as text", [](Instance_Load& t) { t.top()["vcpus_current"] = "2"; },
       "JSON Pointer path '/vcpus_current' not exist in JSON!"},
      {"no status", [](Instance_Load& t) { t.top().erase("status"); },
       "JSON Pointer path '/status' not exist in JSON!"},
      {"volumes not an array", [](Instance_Load& t) { t.top()["volume_ids"] = Value(); },
       "JSON Pointer path '/volume_ids' not exist in JSON!"},
      {"no vxnets", [](Instance_Load& t) { t.top().erase("vxnets"); },
       "JSON Pointer path '/vxnets' not exist in JSON!"},
  };
  const Value pristine = element;
  for (const Case& c : cases) {
    element = pristine;
    c.damage(*this);
    EXPECT_EQ(load_error(), c.error) << c.what;
  }
  element = Value("i-ets7af6q");
  EXPECT_EQ(load_error(), "JSON Pointer path '/status' not exist in JSON!");
}

TEST(Instance_Profile, RoundTripsThroughItsJSON) {
  Instance_Profile profile;
  profile.instance_type = "s1.large.r1";
  profile.cpu_model = "Cascadelake";
  profile.cpu_topology = "1s2c1t";
  profile.cpu = 2;
  profile.memory = 2048;
  profile.os_disk_size = 53687091200u;
  profile.instance_class = 101;
  const Object dumped = profile.dump();
  EXPECT_EQ(Value(dumped), json_value(R"({"cpu": 2, "cpu_model": "Cascadelake",
    "cpu_topology": "1s2c1t", "instance_class": 101, "instance_type": "s1.large.r1",
    "memory": 2048, "os_disk_size": 53687091200})"));

  Instance_Profile loaded;
  ASSERT_TRUE(loaded.load(dumped));
  EXPECT_EQ(loaded.dump(), dumped);
  EXPECT_EQ(loaded.os_disk_size, 53687091200u);  // bytes, no scaling either way

  std::vector<std::string> keys;
  for (const auto& member : Instance_Profile().dump())
    keys.push_back(member.first);
  EXPECT_EQ(keys, (std::vector<std::string>{"cpu", "cpu_model", "cpu_topology", "instance_class",
                                            "instance_type", "memory", "os_disk_size"}));
}

TEST(Instance_Profile, LoadsLenientlyAndRefusesNonObjects) {
  testing_support::Log_Capture log;
  Instance_Profile profile;
  profile.cpu = 4;
  profile.instance_type = "c1m2";
  ASSERT_TRUE(profile.load(Object()));
  EXPECT_EQ(profile.cpu, 4);
  ASSERT_TRUE(profile.load(json_value(R"({"cpu": "8", "memory": 8192, "instance_type": null})")));
  EXPECT_EQ(profile.cpu, 4);
  EXPECT_EQ(profile.memory, 8192);
  EXPECT_EQ(profile.instance_type, "c1m2");
  EXPECT_TRUE(log.messages().empty());

  EXPECT_FALSE(profile.load(json_value("[]")));
  EXPECT_FALSE(profile.load(Value("cpu")));
  EXPECT_EQ(profile.memory, 8192);
  EXPECT_EQ(log.count("Failed to load Instance_Profile from JSON: value is array, not object\n"),
            1u);
  EXPECT_EQ(log.count("Failed to load Instance_Profile from JSON: value is string, not object\n"),
            1u);
}

}  // namespace
}  // namespace qingcloud
