#include "tools/qingcloud_sim/record_defaults.h"

#include <stdexcept>

namespace qingcloud_sim {
namespace {

using boost::json::array;
using boost::json::object;
using boost::json::value;

void fill(object& o, const char* key, value v) {
  if (!o.contains(key)) o.emplace(key, std::move(v));
}

void fill_text(object& o, const char* key, const std::string& text) {
  fill(o, key, value(boost::json::string_view(text)));
}

// Completes the nested object `key` member by member.
object& fill_object(object& o, const char* key) {
  value* v = o.if_contains(key);
  if (v == nullptr || !v->is_object()) {
    o[key] = object();
    v = o.if_contains(key);
  }
  return v->get_object();
}

std::string require_id(const object& o, const char* key) {
  const value* v = o.if_contains(key);
  if (v == nullptr || !v->is_string() || v->get_string().empty())
    throw std::invalid_argument(std::string("record without a string \"") + key + "\"");
  return std::string(v->get_string());
}

std::string owner_of(object& o) {
  fill(o, "owner", SYSTEM_OWNER);
  const value& v = o.at("owner");
  if (!v.is_string()) throw std::invalid_argument("record whose \"owner\" is not a string");
  return std::string(v.get_string());
}

void fill_times(object& o) {
  fill(o, "create_time", DEFAULT_CREATE_TIME);
  fill(o, "status_time", o.at("create_time"));
}

}  // namespace

Record make_zone(object o) {
  std::string id = require_id(o, "zone_id");
  fill(o, "status", "active");
  return Record(std::move(id), SYSTEM_OWNER, std::move(o));
}

Record make_user(object o) {
  std::string id = require_id(o, "user_id");
  fill_text(o, "user_name", id);
  if (!o.contains("email") && o.at("user_name").is_string())
    o["email"] = std::string(o.at("user_name").get_string()) + "@example.com";
  fill(o, "status", "active");
  fill(o, "role", "user");
  fill(o, "console_id", "qingcloud");
  fill(o, "lang", "en");
  fill_times(o);
  return Record(id, id, std::move(o));
}

Record make_access_key(object o) {
  std::string id = require_id(o, "access_key_id");
  require_id(o, "secret_access_key");
  std::string owner = require_id(o, "owner");
  fill(o, "access_key_name", "api key");
  fill(o, "status", "active");
  fill(o, "description", nullptr);
  fill(o, "controller", "self");
  fill(o, "console_id", "qingcloud");
  fill_times(o);
  return Record(std::move(id), std::move(owner), std::move(o));
}

Record make_bot(object o, const std::string& zone_id) {
  std::string id = require_id(o, "host_machine");
  o["zone_id"] = zone_id;
  fill(o, "status", "active");
  fill(o, "container_mode", "kvm");
  fill(o, "hypervisor", "kvm");
  fill(o, "role", "node");
  fill(o, "place_group_id", "plg-00000101");
  fill(o, "cpu_total", 64);
  fill(o, "memory_total", 262144);
  fill(o, "free_disk", 2048.5);
  fill(o, "used_disk", 1023.5);
  fill(o, "disk_usage", 0.333);
  fill(o, "description", nullptr);
  fill_times(o);
  return Record(std::move(id), SYSTEM_OWNER, std::move(o));
}

Record make_instance(object o, const std::string& zone_id) {
  std::string id = require_id(o, "instance_id");
  std::string owner = owner_of(o);
  o["zone_id"] = zone_id;
  fill(o, "instance_name", "");
  fill(o, "description", nullptr);
  fill_text(o, "hostname", id);
  fill(o, "status", "running");
  fill(o, "transition_status", "");
  fill(o, "controller", "self");
  fill_text(o, "root_user_id", owner);
  fill(o, "console_id", "qingcloud");
  fill(o, "host_machine", "");
  fill(o, "instance_type", "s1.small.r1");
  fill(o, "instance_class", 101);
  fill(o, "vcpus_current", 1);
  fill(o, "vcpus_max", o.at("vcpus_current"));
  fill(o, "memory_current", 1024);
  fill(o, "memory_max", o.at("memory_current"));
  fill(o, "cpu_topology", "");
  fill(o, "cpu_oversale_rate", 5);
  fill(o, "platform", "linux");
  fill(o, "graphics_protocol", "vnc");
  fill(o, "alarm_status", "");
  fill(o, "repl", "rpp-00000002");
  fill(o, "sub_code", 0);
  fill(o, "place_group_id", "plg-00000101");
  fill(o, "lastest_snapshot_time", nullptr);
  fill_times(o);

  object& image = fill_object(o, "image");
  fill(image, "image_id", "centos77x64a");
  fill(image, "image_name", "CentOS 7.7 64bit");
  fill(image, "os_family", "centos");
  fill(image, "platform", o.at("platform"));
  fill(image, "processor_type", "64bit");
  fill(image, "provider", "system");
  fill(image, "image_size", 20);
  fill(image, "default_user", "root");
  fill(image, "agent_type", "pitrix");
  fill(image, "ui_type", "tui");

  object& extra = fill_object(o, "extra");
  fill(extra, "cpu_model", "");
  fill(extra, "os_disk_size", 20);
  fill(extra, "hypervisor", "kvm");
  fill(extra, "container_mode", nullptr);
  fill(extra, "bandwidth", 500);
  fill(extra, "iops", 900);
  fill(extra, "throughput", 44544);
  fill(extra, "os_disk_encryption", 0);
  fill(extra, "gpu", 0);
  fill(extra, "usb", 1);

  fill(o, "vxnets", array());
  fill(o, "volume_ids", array());
  fill(o, "volumes", array());
  fill(o, "eips", array());
  fill(o, "tags", array());
  fill(o, "dns_aliases", array());
  object group{{"is_default", 1},
               {"security_group_name", "default security group"},
               {"security_group_id", "sg-default0"}};
  fill(o, "security_group", group);
  fill(o, "security_groups", array{group});
  return Record(std::move(id), std::move(owner), std::move(o));
}

Record make_volume(object o, const std::string& zone_id) {
  std::string id = require_id(o, "volume_id");
  std::string owner = owner_of(o);
  o["zone_id"] = zone_id;
  fill(o, "volume_name", "");
  fill(o, "description", nullptr);
  fill(o, "size", 20);
  fill(o, "volume_type", 0);
  fill(o, "repl", "rpp-00000002");
  fill(o, "status", "available");
  fill(o, "transition_status", "");
  fill(o, "sub_code", 0);
  fill(o, "place_group_id", "plg-00000101");
  fill(o, "latest_snapshot_time", nullptr);
  fill_times(o);
  object& instance = fill_object(o, "instance");
  fill(instance, "instance_id", "");
  fill(instance, "instance_name", "");
  fill(instance, "device", "");
  return Record(std::move(id), std::move(owner), std::move(o));
}

Record make_vxnet(object o, const std::string& zone_id) {
  std::string id = require_id(o, "vxnet_id");
  std::string owner = owner_of(o);
  o["zone_id"] = zone_id;
  fill(o, "vxnet_name", "");
  fill(o, "vxnet_type", 1);
  fill(o, "vpc_router_id", "");
  fill(o, "description", nullptr);
  fill(o, "console_id", "qingcloud");
  fill(o, "controller", "self");
  fill(o, "tags", array());
  fill_times(o);
  return Record(std::move(id), std::move(owner), std::move(o));
}

Record make_image(object o, const std::string& zone_id) {
  std::string id = require_id(o, "image_id");
  std::string owner = owner_of(o);
  o["zone_id"] = zone_id;
  const bool system = owner == SYSTEM_OWNER;
  fill(o, "image_name", "");
  fill(o, "description", nullptr);
  fill(o, "size", 20);
  fill(o, "provider", system ? "system" : "self");
  fill(o, "visibility", system ? "public" : "private");
  fill(o, "platform", "linux");
  fill(o, "os_family", "centos");
  fill(o, "processor_type", "64bit");
  fill(o, "status", "available");
  fill(o, "transition_status", "");
  fill(o, "recommended_type", "s1.small.r1");
  fill(o, "sub_code", 0);
  fill_times(o);
  return Record(std::move(id), std::move(owner), std::move(o));
}

Record make_snapshot(object o, const std::string& zone_id) {
  std::string id = require_id(o, "snapshot_id");
  std::string owner = owner_of(o);
  o["zone_id"] = zone_id;
  fill(o, "snapshot_name", "");
  fill(o, "description", nullptr);
  fill(o, "snapshot_type", 1);
  fill(o, "status", "available");
  fill(o, "transition_status", "");
  fill(o, "is_head", 1);
  fill_text(o, "root_id", id);
  fill(o, "parent_id", "self");
  fill(o, "head_chain", 1);
  fill(o, "size", 20);
  fill(o, "total_size", o.at("size"));
  fill(o, "total_count", 1);
  fill(o, "sub_code", 0);
  fill(o, "visibility", "private");
  fill_times(o);
  fill(o, "snapshot_time", o.at("create_time"));
  fill(o, "lastest_snapshot_time", o.at("create_time"));
  object& resource = fill_object(o, "resource");
  fill(resource, "resource_id", "");
  fill(resource, "resource_name", "");
  fill(resource, "resource_type", "volume");
  return Record(std::move(id), std::move(owner), std::move(o));
}

object image_summary(const Record& image) {
  return object{{"image_id", image.id()},
                {"image_name", image.text("image_name")},
                {"os_family", image.text("os_family")},
                {"platform", image.text("platform")},
                {"processor_type", image.text("processor_type")},
                {"provider", image.text("provider")},
                {"image_size", image.integer("size")}};
}

Record make_job(object o, const std::string& zone_id) {
  std::string id = require_id(o, "job_id");
  std::string owner = owner_of(o);
  o["zone_id"] = zone_id;
  fill(o, "job_action", "");
  fill(o, "status", "successful");
  fill(o, "resource_ids", "");
  fill(o, "error_codes", "");
  fill_times(o);
  return Record(std::move(id), std::move(owner), std::move(o));
}

}  // namespace qingcloud_sim
