#include "api/iaas_client.h"

#include "api/gib.h"
#include "api/instance_password.h"
#include "api/qingcloud_helper.h"
#include "json/insert.h"
#include "json/pextract.h"
#include "support/countdown.h"
#include "support/log.h"

namespace qingcloud {

using json_spirit::Array;
using json_spirit::Object;
using json_spirit::Value;

namespace {

int flag(bool on) {
  return on ? 1 : 0;
}

// A create reply that names exactly one new resource: its id goes to `id`.
Handler one_id(std::string& id, const char* message) {
  return [&id, message](const Value& created) {
    if (created.type() == json_spirit::array_type && created.get_array().size() == 1 &&
        created.get_array().front().type() == json_spirit::str_type) {
      id = created.get_array().front().get_str();
      return true;
    }
    QC_LOG_ERROR("%s", message);
    return false;
  };
}

}  // namespace

IAAS_Client::IAAS_Client(std::string version, std::string user_id)
    : Common_Client(HTTP_METHOD_GET, "/iaas/", std::move(version)), owner_(std::move(user_id)) {}

IAAS_Client::~IAAS_Client() = default;

bool IAAS_Client::run_instance(const std::string& name, const std::string& image_id,
                               const Instance_Profile& profile,
                               const std::vector<std::string>& volumes,
                               const std::vector<std::string>& vxnets, std::string& instance_id,
                               std::string* job_id, secure_string* password) {
  if (image_id.empty()) {
    QC_LOG_UNEXPECTED("image_id is empty");
    return false;
  }
  Object params;
  if (!insert_zone_if_not_exists(params)) return false;
  // Every instance gets a password of its own: a fixed one would be known to
  // everyone who has read this code.
  secure_string login_passwd;
  if (!generate_instance_password(login_passwd)) return false;

  insert(params)("instance_name", skip_empty(name))("image_id", image_id)(
      "instance_type", skip_empty(profile.instance_type))(
      "cpu_model", skip_empty(profile.cpu_model))("cpu_topology", skip_empty(profile.cpu_topology))(
      "cpu", profile.cpu)("memory", profile.memory)(
      "os_disk_size", bytes_to_gib(profile.os_disk_size))("instance_class", profile.instance_class)(
      "login_mode", "passwd")("login_passwd", login_passwd)(
      "volumes", skip_if(volumes.empty(), Array_Maker(volumes)))(
      "vxnets", skip_if(vxnets.empty(), Array_Maker(vxnets)));
  build_params(params, "RunInstances");
  // A POST form, so that the password is in no URL that a server or proxy
  // on the way writes to its log.
  Object reply;
  const bool sent = sess_.send_form_request(uri_, params, reply);
  // Once the request may have reached the platform, the instance may be
  // built whatever the call's outcome: without its password nobody could
  // log in to it.
  if (password != nullptr && sess_.request_sent()) *password = std::move(login_passwd);
  if (!sent) return false;
  // The id is taken before the job is waited for, so that the caller knows
  // the instance also when the wait fails.
  std::string job;
  if (!take_created(reply,
                    Create_Resource_Handler("instances", &job,
                                            one_id(instance_id, "Invalid instances format.\n")))) {
    return false;
  }
  if (job_id != nullptr) {
    *job_id = std::move(job);
    return true;
  }
  return poll_job(job);
}

bool IAAS_Client::terminate_instance(const std::string& id, bool direct_cease,
                                     std::string* job_id) {
  Object params;
  if (!insert_zone_if_not_exists(params)) return false;
  insert(params)("instances", Array{id})("direct_cease", flag(direct_cease));
  return execute_job("TerminateInstances", params, job_id);
}

bool IAAS_Client::start_instance(const std::string& id, std::string* job_id) {
  Object params;
  if (!insert_zone_if_not_exists(params)) return false;
  insert(params)("instances", Array{id});
  return execute_job("StartInstances", params, job_id);
}

bool IAAS_Client::stop_instance(const std::string& id, bool force, std::string* job_id) {
  Object params;
  if (!insert_zone_if_not_exists(params)) return false;
  insert(params)("instances", Array{id})("force", flag(force));
  return execute_job("StopInstances", params, job_id);
}

bool IAAS_Client::create_volume(const std::string& name, const Volume_Profile& profile,
                                std::string& volume_id, std::string* job_id) {
  Object params;
  if (!insert_zone_if_not_exists(params)) return false;
  insert(params)("volume_name", name)("volume_type", profile.volume_type)(
      "size", bytes_to_gib(profile.size))("repl", profile.repl);
  return create_resources(
      "CreateVolumes", params,
      Create_Resource_Handler("volumes", job_id, one_id(volume_id, "Invalid volumes format.\n")));
}

bool IAAS_Client::delete_volumes(const std::vector<std::string>& ids, std::string* job_id) {
  Object params;
  if (!insert_zone_if_not_exists(params)) return false;
  insert(params)("volumes", Array_Maker(ids));
  return execute_job("DeleteVolumes", params, job_id);
}

bool IAAS_Client::describe_snapshots(Object& params, Describe_Resource_Handler handler) {
  if (!insert_zone_if_not_exists(params)) return false;
  return describe_resources("DescribeSnapshots", params, std::move(handler));
}

bool IAAS_Client::describe_snapshots_by_ids(const std::vector<std::string>& ids,
                                            Snapshots& snapshots) {
  Object params;
  insert(params)("snapshots", Array_Maker(ids))("snapshot_type", "2");
  return describe_snapshots(params, records_handler("snapshot_set", snapshots));
}

bool IAAS_Client::create_snapshots(const std::string& name,
                                   const std::vector<std::string>& resource_ids,
                                   std::vector<std::string>& snapshot_ids, std::string* job_id) {
  Object params;
  if (!insert_zone_if_not_exists(params)) return false;
  insert(params)("snapshot_name", name)("resources", Array_Maker(resource_ids))("is_in_place", 1);
  auto take_ids = [&snapshot_ids](const Value& created) {
    if (created.type() != json_spirit::array_type) {
      QC_LOG_ERROR("Expected array type for snapshots.\n");
      return false;
    }
    const Array& ids = created.get_array();
    if (ids.empty()) {
      QC_LOG_ERROR("No snapshots created.\n");
      return false;
    }
    snapshot_ids.reserve(snapshot_ids.size() + ids.size());
    for (const Value& id : ids) {
      if (id.type() == json_spirit::str_type) snapshot_ids.push_back(id.get_str());
    }
    return true;
  };
  return create_resources("CreateSnapshots", params,
                          Create_Resource_Handler("snapshots", job_id, take_ids));
}

bool IAAS_Client::poll_lease(const std::string& resource_id) {
  Object params;
  if (!insert_zone_if_not_exists(params)) return false;
  insert(params)("resource", resource_id)("owner", owner_);
  build_params(params, "GetLeaseInfo");

  // One reply serves every query; each read replaces it whole.
  Value reply = Object();
  Object& reply_obj = reply.get_obj();
  try {
    for (const auto& tick :
         countdown(POLL_TIMEOUT, POLL_INITIAL_INTERVAL, POLL_MAX_NOTIFY_INTERVAL, false)) {
      (void)tick;
      if (!sess_.send_request(method_, uri_, params, reply_obj)) return false;
      std::string status;
      pextract_or_throw(reply)("/lease_info/status", status);
      if (status == "active") return true;
    }
  } catch (const std::exception& e) {
    QC_LOG_ERROR("Invalid lease format, exception: %s.\n", e.what());
    return false;
  }
  QC_LOG_ERROR("Failed to wait lease of '%s' until active.\n", resource_id.c_str());
  return false;
}

}  // namespace qingcloud
