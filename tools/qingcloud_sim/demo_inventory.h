#pragma once

#include "tools/qingcloud_sim/inventory.h"

namespace qingcloud_sim {

// The demo platform's fixed keys and users.
constexpr const char* DEMO_VERSION = "5.1.1";
constexpr const char* DEMO_BOSS_KEY_ID = "QYDEMOBOSS0000000001";
constexpr const char* DEMO_BOSS_SECRET = "demo-boss-secret";
constexpr const char* DEMO_OPS_USER_ID = "usr-ops00001";
constexpr const char* DEMO_OPS_KEY_ID = "QYDEMOOPS00000000001";
constexpr const char* DEMO_OPS_SECRET = "demo-ops-secret";
constexpr const char* DEMO_DEV_USER_ID = "usr-dev00001";
constexpr const char* DEMO_DEV_KEY_ID = "QYDEMODEV00000000001";
constexpr const char* DEMO_DEV_SECRET = "demo-dev-secret";

// A small, lifelike platform: zones "pek3a" and "sh1a", a few physical hosts
// each, the users "ops" and "dev" and the platform's own resources, 31
// instances in every common state (some platform-managed), attached and free
// volumes, networks of every type (with "vxnet-0", "vxnet-1", a VPC network
// without a router and networks of both users), images and snapshots.  The
// same on every call.
Inventory demo_inventory();

}  // namespace qingcloud_sim
