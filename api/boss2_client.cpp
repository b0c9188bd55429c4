#include "api/boss2_client.h"

#include <new>

#include <ace/OS_NS_time.h>

#include "api/iaas_client.h"
#include "api/qingcloud_helper.h"
#include "json/insert.h"
#include "support/log.h"

namespace qingcloud {

using json_spirit::Array;
using json_spirit::Object;

namespace {

// The filters of the fixed instance queries: what a user runs, not what the
// platform runs for itself (load balancers, routers and the like).
void add_instance_filter(Object& params) {
  insert(params)("status", Array{"running", "stopped"})("controller", "self");
}

// Networks of every type, without the platform's two base networks.
void add_vxnet_filter(Object& params) {
  insert(params)("vxnet_type", Array{int(Vxnet::SELF_MANAGED), int(Vxnet::VPC), int(Vxnet::BASIC)})(
      "excluded_vxnets", Array{"vxnet-0", "vxnet-1"});
}

}  // namespace

BOSS2_Client::BOSS2_Client(std::string version, std::string iaas_host)
    : Common_Client(HTTP_METHOD_POST, "/boss2/", std::move(version)),
      iaas_host_(std::move(iaas_host)) {}

BOSS2_Client::~BOSS2_Client() = default;

std::time_t BOSS2_Client::wall_clock() noexcept {
  return ACE_OS::time(nullptr);
}

bool BOSS2_Client::describe_users(Object& params, Users& users) {
  return describe_resources("DescribeUsers", params, records_handler("user_set", users));
}

bool BOSS2_Client::describe_users(Users& users) {
  Object params;
  insert(params)("status", Array{"active"});
  return describe_users(params, users);
}

bool BOSS2_Client::describe_users_by_ids(const std::vector<std::string>& ids, Users& users) {
  if (ids.empty()) return true;
  Object params;
  insert(params)("users", Array_Maker(ids))("status", Array{"active"});
  return describe_users(params, users);
}

bool BOSS2_Client::describe_access_keys(const std::string& user_id, Access_Keys& keys) {
  Object params;
  insert(params)("status", Array{"active"})("owner", user_id);
  return describe_resources("DescribeAccessKeys", params, records_handler("access_key_set", keys));
}

bool BOSS2_Client::describe_bots(Hosts& hosts) {
  Object params;
  if (!insert_zone_if_not_exists(params)) return false;
  insert(params)("status", Array{"active"});
  return describe_resources("Boss2DescribeBots", params, records_handler("bot_set", hosts));
}

bool BOSS2_Client::describe_bots_by_ids(const std::vector<std::string>& ids, Hosts& hosts) {
  Object params;
  // The zone is checked before the empty list: a call without a zone is a
  // caller's fault even when there is nothing to ask for.
  if (!insert_zone_if_not_exists(params)) return false;
  if (ids.empty()) return true;
  insert(params)("bots", Array_Maker(ids))("verbose", 1);
  return describe_resources("Boss2GetBotsBasicInfo", params,
                            records_handler("bot_set", hosts, Host::Flags(Host::WITH_DISK_INFO)));
}

bool BOSS2_Client::describe_instances(Object& params, Instances& instances) {
  if (!insert_zone_if_not_exists(params)) return false;
  return describe_resources("DescribeInstances", params,
                            records_handler("instance_set", instances));
}

bool BOSS2_Client::describe_instances(Instances& instances) {
  Object params;
  add_instance_filter(params);
  return describe_instances(params, instances);
}

bool BOSS2_Client::describe_instances(Describe_Resource_Handler handler) {
  Object params;
  add_instance_filter(params);
  if (!insert_zone_if_not_exists(params)) return false;
  return describe_resources("DescribeInstances", params, std::move(handler));
}

bool BOSS2_Client::describe_instances_by_host(const std::string& host,
                                              Describe_Resource_Handler handler) {
  Object params;
  insert(params)("host_machine", host);
  add_instance_filter(params);
  if (!insert_zone_if_not_exists(params)) return false;
  return describe_resources("DescribeInstances", params, std::move(handler));
}

bool BOSS2_Client::search_instances(const std::string& search_word, Instances& instances) {
  Object params;
  insert(params)("search_word", search_word);
  add_instance_filter(params);
  return describe_instances(params, instances);
}

bool BOSS2_Client::describe_instances_by_host(const std::string& host, Instances& instances) {
  Object params;
  insert(params)("host_machine", host);
  add_instance_filter(params);
  return describe_instances(params, instances);
}

bool BOSS2_Client::describe_instances_by_ids(const std::vector<std::string>& ids,
                                             Instances& instances) {
  if (ids.empty()) return true;
  Object params;
  insert(params)("instances", Array_Maker(ids));
  add_instance_filter(params);
  return describe_instances(params, instances);
}

bool BOSS2_Client::describe_vxnets(Object& params, Vxnets& vxnets) {
  if (!insert_zone_if_not_exists(params)) return false;
  return describe_resources("DescribeVxnets", params, records_handler("vxnet_set", vxnets));
}

bool BOSS2_Client::describe_vxnets(Vxnets& vxnets) {
  Object params;
  add_vxnet_filter(params);
  return describe_vxnets(params, vxnets);
}

bool BOSS2_Client::describe_vxnets_by_ids(const std::vector<std::string>& ids, Vxnets& vxnets) {
  if (ids.empty()) return true;
  Object params;
  insert(params)("vxnets", Array_Maker(ids));
  add_vxnet_filter(params);
  return describe_vxnets(params, vxnets);
}

bool BOSS2_Client::describe_volumes_by_ids(const std::vector<std::string>& ids, Volumes& volumes) {
  Object params;
  if (!insert_zone_if_not_exists(params)) return false;
  if (ids.empty()) return true;
  insert(params)("volumes", Array_Maker(ids))("status", Array{"in-use", "available"});
  return describe_resources("DescribeVolumes", params, records_handler("volume_set", volumes));
}

bool BOSS2_Client::migrate_instances(const std::vector<std::string>& ids,
                                     const std::string& target_host, std::string* job_id) {
  Object params;
  if (!insert_zone_if_not_exists(params)) return false;
  insert(params)("audit_log", "Use API to migrate instances")("target_host", target_host)(
      "instances", Array_Maker(ids));
  return execute_job("MigrateInstances", params, job_id);
}

bool BOSS2_Client::is_valid_vxnet(const Vxnet& vxnet, const std::string& owner) {
  const bool routed = vxnet.vxnet_type != Vxnet::VPC || !vxnet.vpc_router_id.empty();
  const bool usable = vxnet.owner == owner || vxnet.owner == "system";
  return routed && usable;
}

IAAS_Client_ptr BOSS2_Client::iaas_client(const std::string& user_id) {
  Users users;
  if (!describe_users_by_ids({user_id}, users) || users.size() != 1) {
    QC_LOG_ERROR("Failed to get user '%s' info.\n", user_id.c_str());
    return nullptr;
  }
  const User& user = users.front();
  Access_Keys keys;
  if (!describe_access_keys(user.id, keys) || keys.empty()) {
    QC_LOG_ERROR("Failed to get access keys of user '%s'.\n", user.id.c_str());
    return nullptr;
  }
  // No key is preferred; the second of the call spreads the load over them.
  const Access_Key& key = keys[static_cast<std::uint64_t>(clock_()) % keys.size()];

  IAAS_Client_ptr client(new (std::nothrow) IAAS_Client(version_, user.id));
  if (!client) {
    QC_LOG_UNEXPECTED("client is NULL");
    return nullptr;
  }
  if (!client->login(iaas_host_, sess_.port(), sess_.ssl(), key.access_key_id,
                     key.secret_access_key)) {
    QC_LOG_ERROR("%s failed to login %s:%d.\n", user.name.c_str(), iaas_host_.c_str(),
                 static_cast<int>(sess_.port()));
    return nullptr;
  }
  return client;
}

}  // namespace qingcloud
