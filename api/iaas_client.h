#pragma once

#include <string>
#include <vector>

#include "api/boss2_client.h"
#include "api/common_client.h"
#include "api/qingcloud_instance.h"
#include "api/qingcloud_snapshot.h"
#include "api/qingcloud_volume.h"
#include "support/secure_string.h"

namespace qingcloud {

// The client of the infrastructure API ("/iaas/", parameters in the query of
// a GET, or in a POST form where they hold a password), acting for one user: runs, starts, stops
// and terminates instances, creates and deletes volumes, describes and takes snapshots, and waits
// for leases.  Made and logged in by BOSS2_Client::iaas_client; a zone is then chosen with
// switch_zone, and every operation but the snapshot queries works in the current zone.
//
// `job_id` arguments: null makes the call wait for the platform's job to end;
// otherwise the job id is left there and the call returns once the platform
// has accepted the request (see poll_job).
//
// A client belongs to one thread at a time.
class IAAS_Client : public Common_Client {
 public:
  IAAS_Client(std::string version, std::string user_id);
  ~IAAS_Client() override;

  const std::string& owner() const noexcept { return owner_; }

  // Runs one instance of `image_id` and leaves its id in `instance_id`, also
  // when waiting for its job fails.  Its login password is made afresh for
  // every instance from the system's random generator and sent in a POST
  // form; it is handed out only through `password` when given, whenever the
  // request was sent, whatever the outcome: the platform may build the
  // instance all the same.
  bool run_instance(const std::string& name, const std::string& image_id,
                    const Instance_Profile& profile, const std::vector<std::string>& volumes,
                    const std::vector<std::string>& vxnets, std::string& instance_id,
                    std::string* job_id, secure_string* password = nullptr);
  bool terminate_instance(const std::string& id, bool direct_cease, std::string* job_id);
  bool start_instance(const std::string& id, std::string* job_id);
  bool stop_instance(const std::string& id, bool force, std::string* job_id);

  bool create_volume(const std::string& name, const Volume_Profile& profile, std::string& volume_id,
                     std::string* job_id);
  bool delete_volumes(const std::vector<std::string>& ids, std::string* job_id);

  // Snapshots of the "zone" in `params`, else of the current zone.
  bool describe_snapshots(Object& params, Describe_Resource_Handler handler);
  // The snapshots `ids` (an empty list asks for every snapshot of the zone).
  bool describe_snapshots_by_ids(const std::vector<std::string>& ids, Snapshots& snapshots);
  bool create_snapshots(const std::string& name, const std::vector<std::string>& resource_ids,
                        std::vector<std::string>& snapshot_ids, std::string* job_id);

  // Waits, within the polling budget, until the lease of `resource_id` is
  // active.  A failed query ends the wait at once.
  bool poll_lease(const std::string& resource_id);

 protected:
  std::string owner_;  // the user this client acts for
};

}  // namespace qingcloud
