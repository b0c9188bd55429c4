#include "tools/qingcloud_sim/actions.h"

namespace qingcloud_sim {
namespace {

const Action_Entry ACTIONS[] = {
    {"DescribeZones", false, false, true, describe_zones},
    {"DescribeUsers", false, true, true, describe_users},
    {"DescribeAccessKeys", false, true, true, describe_access_keys},
    {"Boss2DescribeBots", true, true, true, describe_bots},
    {"Boss2GetBotsBasicInfo", true, true, true, get_bots_basic_info},
    {"DescribeInstances", true, false, true, describe_instances},
    {"DescribeVxnets", true, false, true, describe_vxnets},
    {"DescribeVolumes", true, false, true, describe_volumes},
    {"DescribeImages", true, false, true, describe_images},
    {"DescribeSnapshots", true, false, true, describe_snapshots},
    {"DescribeJobs", true, false, true, describe_jobs},
    {"GetLeaseInfo", true, false, true, get_lease_info},
    {"MigrateInstances", true, true, false, migrate_instances},
    {"RunInstances", true, false, false, run_instances},
    {"StartInstances", true, false, false, start_instances},
    {"StopInstances", true, false, false, stop_instances},
    {"TerminateInstances", true, false, false, terminate_instances},
    {"CreateVolumes", true, false, false, create_volumes},
    {"DeleteVolumes", true, false, false, delete_volumes},
    {"CreateSnapshots", true, false, false, create_snapshots},
};

}  // namespace

const Action_Entry* find_action(const std::string& name) {
  for (const Action_Entry& entry : ACTIONS)
    if (name == entry.name) return &entry;
  return nullptr;
}

}  // namespace qingcloud_sim
