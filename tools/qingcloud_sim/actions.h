#pragma once

#include <string>

#include "tools/qingcloud_sim/action_context.h"

namespace qingcloud_sim {

// An action the platform serves.
struct Action_Entry {
  const char* name;
  bool zone_bound;        // needs "zone"; 1100 without it
  bool back_office_only;  // 1400 on "/iaas/"
  bool read_only;         // changes nothing (so cached matches stay valid)
  std::string (*handle)(Action_Context& ctx);
};

// The action named `name`, or null.
const Action_Entry* find_action(const std::string& name);

// Handlers, by family.
std::string describe_zones(Action_Context& ctx);
std::string describe_users(Action_Context& ctx);
std::string describe_access_keys(Action_Context& ctx);
std::string describe_bots(Action_Context& ctx);
std::string get_bots_basic_info(Action_Context& ctx);
std::string describe_instances(Action_Context& ctx);
std::string describe_vxnets(Action_Context& ctx);
std::string describe_volumes(Action_Context& ctx);
std::string describe_images(Action_Context& ctx);
std::string describe_snapshots(Action_Context& ctx);
std::string describe_jobs(Action_Context& ctx);
std::string get_lease_info(Action_Context& ctx);

std::string run_instances(Action_Context& ctx);
std::string start_instances(Action_Context& ctx);
std::string stop_instances(Action_Context& ctx);
std::string terminate_instances(Action_Context& ctx);
std::string migrate_instances(Action_Context& ctx);

std::string create_volumes(Action_Context& ctx);
std::string delete_volumes(Action_Context& ctx);
std::string create_snapshots(Action_Context& ctx);

}  // namespace qingcloud_sim
