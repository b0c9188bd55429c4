#include "api/boss2_client.h"

#include <gtest/gtest.h>

namespace qingcloud {
namespace {

TEST(Boss2_Client_Vxnets, UsableNetworksBelongToTheUserOrThePlatformAndAreRouted) {
  struct Case {
    const char* owner;
    int type;
    const char* router;
    bool usable;
  };
  const Case cases[] = {
      {"usr-a", Vxnet::VPC, "", false},               // a VPC network without a router
      {"usr-a", Vxnet::VPC, "rtr-1", true},           // ... with one
      {"usr-b", Vxnet::BASIC, "", false},             // another user's
      {"system", Vxnet::BASIC, "", true},             // the platform's, for everyone
      {"usr-a", Vxnet::SELF_MANAGED, "rtr-1", true},  // the router plays no part
      {"usr-a", Vxnet::BASIC, "", true},
  };
  for (const Case& c : cases) {
    Vxnet vxnet;
    vxnet.owner = c.owner;
    vxnet.vxnet_type = c.type;
    vxnet.vpc_router_id = c.router;
    EXPECT_EQ(BOSS2_Client::is_valid_vxnet(vxnet, "usr-a"), c.usable)
        << c.owner << " " << c.type << " " << c.router;
  }
}

}  // namespace
}  // namespace qingcloud
