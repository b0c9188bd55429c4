#pragma once

#include <string>
#include <vector>

#include "host/json_spirit/value.h"

namespace qingcloud {

// A virtual network.
struct Vxnet {
  enum Vxnet_Type { SELF_MANAGED = 0, VPC = 1, BASIC = 2 };

  std::string owner;  // a user id, or the platform's own owner
  std::string id;
  std::string name;
  std::string vpc_router_id;  // empty unless the network belongs to a VPC
  int vxnet_type = BASIC;     // one of Vxnet_Type

  void load_from_api_or_throw(const json_spirit::Value& val);
};

using Vxnets = std::vector<Vxnet>;

}  // namespace qingcloud
