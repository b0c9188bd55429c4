#include "api/qingcloud_network.h"

#include <gtest/gtest.h>

#include "testing/exception_text.h"
#include "testing/json_text.h"

namespace qingcloud {
namespace {

using testing_support::exception_text;
using testing_support::json_value;

TEST(Vxnet, StartsAsABasicNetwork) {
  EXPECT_EQ(Vxnet().vxnet_type, Vxnet::BASIC);
}

TEST(Vxnet, LoadsTheTypeCodeAndRouter) {
  Vxnet vxnet;
  vxnet.load_from_api_or_throw(json_value(R"({
    "vxnet_type": 1, "description": null, "vxnet_name": "test", "owner": "usr-CT3owI01",
    "create_time": "2013-08-27T10:02:25Z", "vpc_router_id": "rtr-b0u6sdj6",
    "router": {"router_id": "rtr-b0u6sdj6", "router_name": "demo"}, "vxnet_id": "vxnet-ytuyg2q"})"));
  EXPECT_EQ(vxnet.vxnet_type, Vxnet::VPC);
  EXPECT_EQ(vxnet.owner, "usr-CT3owI01");
  EXPECT_EQ(vxnet.id, "vxnet-ytuyg2q");
  EXPECT_EQ(vxnet.name, "test");
  EXPECT_EQ(vxnet.vpc_router_id, "rtr-b0u6sdj6");
}

TEST(Vxnet, StopsAtTheFirstBadKeyInReadingOrder) {
  Vxnet vxnet;
  EXPECT_EQ(
      exception_text([&] {
        vxnet.load_from_api_or_throw(json_value(
            R"({"owner": "usr-1", "vxnet_type": 2, "vxnet_name": "n", "vpc_router_id": ""})"));
      }),
      "key 'vxnet_id' not found");
  EXPECT_EQ(vxnet.owner, "usr-1");  // read before the fault
  EXPECT_EQ(vxnet.vxnet_type, 2);
  EXPECT_EQ(vxnet.name, "");  // after it
}

}  // namespace
}  // namespace qingcloud
