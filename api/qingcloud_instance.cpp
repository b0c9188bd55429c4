#include "api/qingcloud_instance.h"

#include "api/gib.h"
#include "host/json_spirit/filters.h"
#include "json/extract.h"
#include "json/insert.h"
#include "json/pextract.h"
#include "support/log.h"

namespace qingcloud {

void Instance::load_from_api_or_throw(const json_spirit::Value& val) {
  const json_spirit::Array* volume_ids = nullptr;
  const json_spirit::Array* attached_vxnets = nullptr;
  auto px = pextract_or_throw(val);
  px("/status", status)("/owner", owner)("/host_machine", host)("/instance_id", id)(
      "/instance_name", name)("/instance_type", profile.instance_type)(
      "/cpu_topology", profile.cpu_topology)("/vcpus_current", profile.cpu)(
      "/memory_current", profile.memory)("/instance_class", profile.instance_class)(
      "/volume_ids", volume_ids)("/vxnets", attached_vxnets);
  px.chroot("/extra")("/cpu_model", profile.cpu_model)("/os_disk_size", profile.os_disk_size);
  px.chroot_abs("/image")("/image_id", image);
  profile.os_disk_size = gib_to_bytes_or_throw(profile.os_disk_size, "os_disk_size");

  if (!volume_ids->empty()) {
    volumes.reserve(volumes.size() + volume_ids->size());
    for (const std::string& volume_id : *volume_ids | json_spirit::get_str)
      volumes.push_back(volume_id);
  }
  if (!attached_vxnets->empty()) {
    vxnets.reserve(vxnets.size() + attached_vxnets->size());
    for (const json_spirit::Object& nic : *attached_vxnets | json_spirit::get_obj) {
      const std::string* vxnet_id = nullptr;
      extract_or_throw(nic)("vxnet_id", vxnet_id);
      vxnets.push_back(*vxnet_id);
    }
  }
}

bool Instance_Profile::load(const json_spirit::Value& json) {
  try {
    extract(json.get_obj())("instance_type", instance_type)("cpu_model", cpu_model)(
        "cpu_topology", cpu_topology)("cpu", cpu)("memory", memory)("os_disk_size", os_disk_size)(
        "instance_class", instance_class);
    return true;
  } catch (const std::exception& e) {
    QC_LOG_ERROR("Failed to load Instance_Profile from JSON: %s\n", e.what());
    return false;
  }
}

json_spirit::Object Instance_Profile::dump() const {
  json_spirit::Object obj;
  insert(obj)("instance_type", instance_type)("cpu_model", cpu_model)("cpu_topology", cpu_topology)(
      "cpu", cpu)("memory", memory)("os_disk_size", os_disk_size)("instance_class", instance_class);
  return obj;
}

}  // namespace qingcloud
