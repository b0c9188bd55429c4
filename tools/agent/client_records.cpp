#include "tools/agent/client_records.h"

#include <cstdint>

#include "json/insert.h"

using json_spirit::Array;
using json_spirit::Object;
using qingcloud::insert;

const char* const SECRET_MASK = "********";

namespace {

Object record(const qingcloud::User& u) {
  Object o;
  insert(o)("id", u.id)("name", u.name);
  return o;
}

Object record(const qingcloud::Access_Key& k) {
  Object o;
  insert(o)("access_key_id", k.access_key_id)("secret_access_key", SECRET_MASK);
  return o;
}

Object record(const qingcloud::Host& h) {
  Object o;
  insert(o)("id", h.id)("container_mode", h.container_mode)("free_disk", h.free_disk)(
      "used_disk", h.used_disk)("disk_usage", h.disk_usage);
  return o;
}

Object record(const qingcloud::Instance& i) {
  Object o;
  insert(o)("status", i.status)("owner", i.owner)("host", i.host)("image", i.image)("id", i.id)(
      "name", i.name)("profile", i.profile.dump())("vxnets", qingcloud::Array_Maker(i.vxnets))(
      "volumes", qingcloud::Array_Maker(i.volumes));
  return o;
}

Object record(const qingcloud::Vxnet& v) {
  Object o;
  insert(o)("owner", v.owner)("id", v.id)("name", v.name)("vpc_router_id", v.vpc_router_id)(
      "vxnet_type", v.vxnet_type);
  return o;
}

Object record(const qingcloud::Volume& v) {
  Object o;
  insert(o)("instance", v.instance)("id", v.id)("name", v.name)("profile", v.profile.dump());
  return o;
}

Object record(const qingcloud::Image& i) {
  Object o;
  insert(o)("id", i.id)("name", i.name)("profile", i.profile.dump());
  return o;
}

Object record(const qingcloud::Snapshot& s) {
  Object o;
  insert(o)("resource_id", s.resource_id)("id", s.id)("name", s.name)(
      "snapshot_type", s.snapshot_type)("create_time", static_cast<std::int64_t>(s.create_time));
  return o;
}

template <class Records>
Array all(const Records& records) {
  Array a;
  a.reserve(records.size());
  for (const auto& r : records)
    a.push_back(record(r));
  return a;
}

}  // namespace

Array records_json(const qingcloud::Users& users) {
  return all(users);
}
Array records_json(const qingcloud::Access_Keys& keys) {
  return all(keys);
}
Array records_json(const qingcloud::Hosts& hosts) {
  return all(hosts);
}
Array records_json(const qingcloud::Instances& instances) {
  return all(instances);
}
Array records_json(const qingcloud::Vxnets& vxnets) {
  return all(vxnets);
}
Array records_json(const qingcloud::Volumes& volumes) {
  return all(volumes);
}
Array records_json(const qingcloud::Images& images) {
  return all(images);
}
Array records_json(const qingcloud::Snapshots& snapshots) {
  return all(snapshots);
}
