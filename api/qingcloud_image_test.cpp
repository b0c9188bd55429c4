#include "api/qingcloud_image.h"

#include <gtest/gtest.h>

#include "testing/exception_text.h"
#include "testing/json_text.h"
#include "testing/log_capture.h"

namespace qingcloud {
namespace {

using testing_support::exception_text;
using testing_support::json_value;

TEST(Image, LoadsAPlatformReplyWithTheSizeInBytes) {
  const json_spirit::Value element =
      testing_support::reply_element("DescribeImages.json", "image_set", 0);
  Image image;
  image.load_from_api_or_throw(element);
  EXPECT_EQ(image.id, "img-37amqany");
  EXPECT_EQ(image.name, "");
  EXPECT_EQ(image.profile.size, 21474836480u);  // 20 GiB
  EXPECT_EQ(image.profile.provider, "self");
  EXPECT_EQ(image.profile.platform, "linux");
  EXPECT_EQ(image.profile.os_family, "centos");
  EXPECT_EQ(image.profile.processor_type, "64bit");

  Image one_gib;
  one_gib.load_from_api_or_throw(json_value(R"({"image_id": "img-1", "image_name": "tiny",
    "size": 1, "provider": "system", "platform": "linux", "os_family": "ubuntu",
    "processor_type": "64bit"})"));
  EXPECT_EQ(one_gib.profile.size, 1073741824u);
}

TEST(Image, RefusesAMissingProperty) {
  json_spirit::Value element =
      testing_support::reply_element("DescribeImages.json", "image_set", 0);
  element.get_obj().erase("processor_type");
  Image image;
  EXPECT_EQ(exception_text([&] { image.load_from_api_or_throw(element); }),
            "key 'processor_type' not found");
}

TEST(Image_Profile, RoundTripsThroughItsJSON) {
  Image_Profile profile;
  profile.size = 1073741824u;
  profile.os_family = "centos";
  profile.processor_type = "64bit";
  profile.platform = "linux";
  profile.provider = "system";
  const json_spirit::Object dumped = profile.dump();
  EXPECT_EQ(json_spirit::Value(dumped), json_value(R"({"os_family": "centos", "platform": "linux",
    "processor_type": "64bit", "provider": "system", "size": 1073741824})"));

  Image_Profile loaded;
  ASSERT_TRUE(loaded.load(dumped));
  EXPECT_EQ(loaded.dump(), dumped);
  EXPECT_EQ(json_spirit::Value(Image_Profile().dump()), json_value(R"({"os_family": "",
    "platform": "", "processor_type": "", "provider": "", "size": 0})"));
}

TEST(Image_Profile, LoadsLenientlyAndRefusesNonObjects) {
  testing_support::Log_Capture log;
  Image_Profile profile;
  profile.platform = "linux";
  ASSERT_TRUE(profile.load(json_spirit::Object()));
  EXPECT_EQ(profile.platform, "linux");
  ASSERT_TRUE(profile.load(json_value(R"({"platform": "windows", "size": "big"})")));
  EXPECT_EQ(profile.platform, "windows");
  EXPECT_EQ(profile.size, 0u);
  EXPECT_FALSE(profile.load(json_spirit::Array()));
  EXPECT_TRUE(log.has("Failed to load Image_Profile from JSON: value is array, not object\n"));
}

}  // namespace
}  // namespace qingcloud
