#pragma once

#include <string>

#include "api/qingcloud_host.h"
#include "api/qingcloud_instance.h"
#include "api/qingcloud_network.h"
#include "api/qingcloud_user.h"
#include "api/qingcloud_volume.h"
#include "host/json_spirit/value.h"

namespace qingcloud {

// The inventory nodes the console shows: flat objects with a display name,
// an id ("moid"), the node type that a request sends back to expand the node,
// and whether it can be expanded.  Values are strings except "has_children"
// (bool), "size" (unsigned 64-bit, bytes) and "vxnet_type" (integer).

// A zone: expandable when listed, a leaf when found by a search.
json_spirit::Value zone_node(const std::string& zone, bool has_children);
// A physical host of `zone`, likewise.
json_spirit::Value host_node(const Host& host, const std::string& zone, bool has_children);
json_spirit::Value instance_node(const Instance& instance, const std::string& zone);
json_spirit::Value disk_node(const Volume& volume, const std::string& zone);
json_spirit::Value user_node(const User& user);
json_spirit::Value vxnet_node(const Vxnet& vxnet, const std::string& zone);

}  // namespace qingcloud
