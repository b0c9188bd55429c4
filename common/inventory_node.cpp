#include "common/inventory_node.h"

#include "json/insert.h"

namespace qingcloud {

using json_spirit::Object;
using json_spirit::Value;

namespace {

Object node(const char* type, const std::string& name, const std::string& moid, bool has_children) {
  Object obj;
  insert(obj)("type", type)("name", name)("moid", moid)("has_children", has_children);
  return obj;
}

}  // namespace

Value zone_node(const std::string& zone, bool has_children) {
  return node("Zone", zone, zone, has_children);
}

Value host_node(const Host& host, const std::string& zone, bool has_children) {
  Object obj = node("HostSystem", host.id, host.id, has_children);
  insert(obj)("zone", zone);
  return obj;
}

Value instance_node(const Instance& instance, const std::string& zone) {
  Object obj = node("VirtualMachine", instance.name, instance.id, false);
  insert(obj)("owner", instance.owner)("status", instance.status)(
      "size", instance.profile.os_disk_size)("host", instance.host)("zone", zone);
  return obj;
}

Value disk_node(const Volume& volume, const std::string& zone) {
  Object obj = node("Disk", volume.name, volume.id, false);
  insert(obj)("size", volume.profile.size)("zone", zone)("instance", volume.instance);
  return obj;
}

Value user_node(const User& user) {
  return node("User", user.name, user.id, true);
}

Value vxnet_node(const Vxnet& vxnet, const std::string& zone) {
  Object obj = node("Vxnet", vxnet.name, vxnet.id, false);
  insert(obj)("owner", vxnet.owner)("vpc_router_id", vxnet.vpc_router_id)(
      "vxnet_type", vxnet.vxnet_type)("zone", zone);
  return obj;
}

}  // namespace qingcloud
