#pragma once

#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "api/common_client.h"
#include "api/qingcloud_host.h"
#include "api/qingcloud_instance.h"
#include "api/qingcloud_network.h"
#include "api/qingcloud_user.h"
#include "api/qingcloud_volume.h"

namespace qingcloud {

class IAAS_Client;
// Sole owner of an infrastructure client; null means failure.
using IAAS_Client_ptr = std::unique_ptr<IAAS_Client>;

// The client of the back-office API ("/boss2/", parameters in a POST form
// body).  Logged in with the environment's key it sees the whole platform:
// users and their keys, physical hosts ("bots"), every user's instances,
// networks and volumes.  Describe operations append to the caller's vector
// and never clear it; records of pages loaded before a failure stay there.
//
// A client belongs to one request on one thread.
class BOSS2_Client : public Common_Client {
 public:
  // `iaas_host` is the infrastructure API host of the same environment, where
  // `iaas_client` logs its users in.
  BOSS2_Client(std::string version, std::string iaas_host);
  ~BOSS2_Client() override;

  // Users: the caller's parameters as they are, or every active user.
  bool describe_users(Object& params, Users& users);
  bool describe_users(Users& users);
  bool describe_users_by_ids(const std::vector<std::string>& ids, Users& users);
  // The active access keys of `user_id`.
  bool describe_access_keys(const std::string& user_id, Access_Keys& keys);

  // The active physical hosts of the current zone; by id with their disk
  // figures.  Both need a current zone.
  bool describe_bots(Hosts& hosts);
  bool describe_bots_by_ids(const std::vector<std::string>& ids, Hosts& hosts);

  // Instances of the current zone (or of the "zone" in `params`).  The fixed
  // variants ask for running and stopped instances under the user's own
  // control ("controller" "self").
  bool describe_instances(Object& params, Instances& instances);
  bool describe_instances(Instances& instances);
  bool search_instances(const std::string& search_word, Instances& instances);
  bool describe_instances_by_host(const std::string& host, Instances& instances);
  bool describe_instances_by_ids(const std::vector<std::string>& ids, Instances& instances);
  // The fixed variants of the zone and of a host, their records handed to
  // `handler` a page at a time (see pages_handler) instead of gathered.
  bool describe_instances(Describe_Resource_Handler handler);
  bool describe_instances_by_host(const std::string& host, Describe_Resource_Handler handler);

  // Networks of every type of the current zone (or of the "zone" in
  // `params`), "vxnet-0" and "vxnet-1" left out by the fixed variants.
  bool describe_vxnets(Object& params, Vxnets& vxnets);
  bool describe_vxnets(Vxnets& vxnets);
  bool describe_vxnets_by_ids(const std::vector<std::string>& ids, Vxnets& vxnets);

  // Volumes in use or available, by id; needs a current zone.
  bool describe_volumes_by_ids(const std::vector<std::string>& ids, Volumes& volumes);

  // Moves instances of the current zone to the physical host `target_host`
  // as a job: waits for it when `job_id` is null, else leaves its id there.
  bool migrate_instances(const std::vector<std::string>& ids, const std::string& target_host,
                         std::string* job_id);

  // Whether `owner` may use the network: owned by `owner` or by the platform
  // ("system"), and not a VPC network without a router.
  static bool is_valid_vxnet(const Vxnet& vxnet, const std::string& owner);

  // An infrastructure client acting for the user `user_id`, logged in on the
  // infrastructure host with one of the user's active keys (on this client's
  // port and TLS setting); null, logged, on failure.  No zone is current.
  IAAS_Client_ptr iaas_client(const std::string& user_id);

 protected:
  std::string iaas_host_;
  // Where the second that picks among a user's keys comes from; tests put a
  // fixed clock here.
  std::time_t (*clock_)() = &wall_clock;

 private:
  static std::time_t wall_clock() noexcept;
};

}  // namespace qingcloud
