#include "api/qingcloud_snapshot.h"

#include <gtest/gtest.h>

#include "testing/exception_text.h"
#include "testing/json_text.h"

namespace qingcloud {
namespace {

using testing_support::exception_text;

json_spirit::Value sample(std::size_t index) {
  return testing_support::reply_element("DescribeSnapshots.json", "snapshot_set", index);
}

TEST(Snapshot, LoadsAPlatformReply) {
  Snapshot snapshot;
  snapshot.load_from_api_or_throw(sample(1));
  EXPECT_EQ(snapshot.id, "ss-69wldt5b");
  EXPECT_EQ(snapshot.name, "");
  EXPECT_EQ(snapshot.snapshot_type, 1);
  EXPECT_EQ(snapshot.resource_id, "vom-2cwmmo5t");
  EXPECT_EQ(snapshot.create_time, 1394550285);  // 2014-03-11T15:04:45Z
}

TEST(Snapshot, RefusesATimeOutsideTheAPIFormat) {
  for (const char* text : {"2014-03-11 15:47:34Z", "2014-03-11T15:47:34", "yesterday", ""}) {
    json_spirit::Value element = sample(0);
    element.get_obj()["create_time"] = text;
    Snapshot snapshot;
    EXPECT_EQ(exception_text([&] { snapshot.load_from_api_or_throw(element); }),
              "Attribute 'create_time' is an invalid time!")
        << text;
    EXPECT_EQ(snapshot.create_time, 0) << text;
  }
}

TEST(Snapshot, NamesTheMissingResourcePath) {
  json_spirit::Value no_resource = sample(0);
  no_resource.get_obj().erase("resource");
  json_spirit::Value no_id = sample(0);
  no_id.get_obj()["resource"].get_obj().erase("resource_id");
  json_spirit::Value no_time = sample(0);
  no_time.get_obj().erase("create_time");
  for (const json_spirit::Value* element : {&no_resource, &no_id}) {
    Snapshot snapshot;
    EXPECT_EQ(exception_text([&] { snapshot.load_from_api_or_throw(*element); }),
              "JSON Pointer path '/resource/resource_id' not exist in JSON!");
  }
  Snapshot snapshot;
  EXPECT_EQ(exception_text([&] { snapshot.load_from_api_or_throw(no_time); }),
            "key 'create_time' not found");
}

}  // namespace
}  // namespace qingcloud
