#include "tools/qingcloud_sim/demo_inventory.h"

#include <string>

#include "tools/qingcloud_sim/record_defaults.h"
#include "tools/qingcloud_sim/sim_clock.h"

namespace qingcloud_sim {
namespace {

using boost::json::array;
using boost::json::object;

// The demo's resources were created one after another from this moment on.
constexpr std::int64_t DEMO_EPOCH = 1677657600;  // 2023-03-01T08:00:00Z

std::string created(int n) {
  return format_time(DEMO_EPOCH + n * 11821);
}

std::string owner_id(const char* who) {
  const std::string w = who;
  if (w == "ops") return DEMO_OPS_USER_ID;
  if (w == "dev") return DEMO_DEV_USER_ID;
  return SYSTEM_OWNER;
}

struct Bot_Row {
  const char* zone;
  const char* id;
  const char* status;
  const char* container_mode;
  double free_disk, used_disk;
};

const Bot_Row BOTS[] = {
    {"pek3a", "pek3ar01n01", "active", "kvm", 3276.5, 819.5},
    {"pek3a", "pek3ar01n02", "active", "kvm", 2457.0, 1638.0},
    {"pek3a", "pek3ar02n01", "active", "kvm", 1024.25, 3071.75},
    {"pek3a", "pek3ar02n02", "maintenance", "kvm", 4096.0, 0.0},
    {"sh1a", "sh1ar01n01", "active", "kvm", 2867.2, 1228.8},
    {"sh1a", "sh1ar01n02", "active", "kvm", 1843.2, 2252.8},
    {"sh1a", "sh1ar02n01", "active", "docker", 3686.4, 409.6},
};

struct Image_Row {
  const char* id;
  const char* name;
  const char* owner;
  const char* os_family;
  const char* platform;
  const char* processor_type;
  int size;
  const char* status;
};

// System images exist in every zone; private ones in the zone given.
const Image_Row SYSTEM_IMAGES[] = {
    {"centos77x64a", "CentOS 7.7 64bit", "system", "centos", "linux", "64bit", 20, "available"},
    {"ubuntu2004x64a", "Ubuntu Server 20.04 LTS 64bit", "system", "ubuntu", "linux", "64bit", 20,
     "available"},
    {"debian11x64a", "Debian 11 64bit", "system", "debian", "linux", "64bit", 20, "available"},
    {"win2019x64a", "Windows Server 2019 Datacenter 64bit", "system", "windows", "windows", "64bit",
     50, "available"},
    {"centos65x86a", "CentOS 6.5 32bit", "system", "centos", "linux", "32bit", 20, "deprecated"},
};

struct Private_Image_Row {
  const char* zone;
  Image_Row image;
};

const Private_Image_Row PRIVATE_IMAGES[] = {
    {"pek3a",
     {"img-4qk7m2ba", "web-base-2023", "ops", "centos", "linux", "64bit", 20, "available"}},
    {"pek3a", {"img-d7xv9c3e", "dev-toolbox", "dev", "ubuntu", "linux", "64bit", 30, "available"}},
    {"sh1a", {"img-s8pw1fzk", "ops-golden", "ops", "debian", "linux", "64bit", 20, "available"}},
};

struct Vxnet_Row {
  const char* zone;
  const char* id;
  const char* name;
  const char* owner;
  int type;  // 0 self-managed, 1 VPC, 2 basic
  const char* router;
};

const Vxnet_Row VXNETS[] = {
    {"pek3a", "vxnet-0", "base network", "system", 2, ""},
    {"pek3a", "vxnet-1", "base network v6", "system", 2, ""},
    {"pek3a", "vxnet-k3mf8qa", "ops-prod", "ops", 1, "rtr-0pk3prd1"},
    {"pek3a", "vxnet-p7tn2xe", "ops-lab", "ops", 0, ""},
    {"pek3a", "vxnet-w9c4rdy", "ops-isolated", "ops", 1, ""},
    {"pek3a", "vxnet-d2hq6lv", "dev-main", "dev", 1, "rtr-d3vma1n2"},
    {"pek3a", "vxnet-f5zb8um", "dev-scratch", "dev", 0, ""},
    {"sh1a", "vxnet-0", "base network", "system", 2, ""},
    {"sh1a", "vxnet-1", "base network v6", "system", 2, ""},
    {"sh1a", "vxnet-s1q2v8p", "ops-sh-prod", "ops", 1, "rtr-s1opsrt1"},
    {"sh1a", "vxnet-s3n7k4d", "dev-sh-isolated", "dev", 1, ""},
    {"sh1a", "vxnet-s5t9m2w", "dev-sh-lab", "dev", 0, ""},
};

struct Instance_Row {
  const char* zone;
  const char* id;
  const char* name;
  const char* owner;
  const char* host;
  const char* status;
  const char* controller;
  const char* image;
  const char* type;
  int cpu;
  int memory;
  const char* vxnet;
};

const Instance_Row INSTANCES[] = {
    {"pek3a", "i-k8s2m1qa", "web-01", "ops", "pek3ar01n01", "running", "self", "centos77x64a",
     "s1.large.r1", 2, 2048, "vxnet-k3mf8qa"},
    {"pek3a", "i-k8s2m1qb", "web-02", "ops", "pek3ar01n02", "running", "self", "centos77x64a",
     "s1.large.r1", 2, 2048, "vxnet-k3mf8qa"},
    {"pek3a", "i-3fq9zt0c", "db-primary", "ops", "pek3ar02n01", "running", "self", "ubuntu2004x64a",
     "e1.xlarge.r2", 4, 8192, "vxnet-k3mf8qa"},
    {"pek3a", "i-3fq9zt0d", "db-replica", "ops", "pek3ar02n01", "stopped", "self", "ubuntu2004x64a",
     "e1.xlarge.r2", 4, 8192, "vxnet-k3mf8qa"},
    {"pek3a", "i-6hw2ne4r", "cache-01", "ops", "pek3ar01n01", "running", "self", "debian11x64a",
     "s1.medium.r2", 1, 2048, "vxnet-k3mf8qa"},
    {"pek3a", "i-9bv7ul3m", "jump-host", "ops", "pek3ar01n02", "running", "self", "centos77x64a",
     "s1.small.r1", 1, 1024, "vxnet-0"},
    {"pek3a", "i-2qd8kx5s", "batch-worker", "ops", "pek3ar02n01", "stopped", "self", "img-4qk7m2ba",
     "s1.large.r1", 2, 2048, "vxnet-p7tn2xe"},
    {"pek3a", "i-0pz4hy7t", "win-ad-01", "ops", "pek3ar01n02", "running", "self", "win2019x64a",
     "e1.xlarge.r2", 4, 8192, "vxnet-k3mf8qa"},
    {"pek3a", "i-5mr1cg8w", "log-collector", "ops", "pek3ar01n01", "pending", "self",
     "centos77x64a", "s1.medium.r2", 1, 2048, "vxnet-k3mf8qa"},
    {"pek3a", "i-8tj3vf6e", "old-build-01", "ops", "", "terminated", "self", "centos77x64a",
     "s1.small.r1", 1, 1024, ""},
    {"pek3a", "i-4nl6sd2h", "dev-sandbox", "dev", "pek3ar01n01", "running", "self", "img-d7xv9c3e",
     "s1.medium.r2", 1, 2048, "vxnet-d2hq6lv"},
    {"pek3a", "i-7ck5wb9p", "ci-runner-01", "dev", "pek3ar02n01", "running", "self",
     "ubuntu2004x64a", "s1.large.r2", 2, 4096, "vxnet-d2hq6lv"},
    {"pek3a", "i-1gy8qm3z", "ci-runner-02", "dev", "pek3ar02n01", "stopped", "self",
     "ubuntu2004x64a", "s1.large.r2", 2, 4096, "vxnet-d2hq6lv"},
    {"pek3a", "i-6ux2jr7k", "test-win2019", "dev", "pek3ar01n02", "stopped", "self", "win2019x64a",
     "s1.large.r2", 2, 4096, "vxnet-f5zb8um"},
    {"pek3a", "i-3ea9tn1v", "load-test", "dev", "pek3ar01n01", "suspended", "self", "centos77x64a",
     "s1.small.r1", 1, 1024, "vxnet-d2hq6lv"},
    {"pek3a", "i-2vh7ce5n", "rdb-mysql-master", "ops", "pek3ar02n01", "running", "pitrix",
     "centos77x64a", "s1.large.r2", 2, 4096, "vxnet-k3mf8qa"},
    {"pek3a", "i-0wf3xa8b", "lb-dev-api", "dev", "pek3ar01n02", "running", "pitrix", "centos77x64a",
     "s1.small.r1", 1, 1024, "vxnet-d2hq6lv"},
    {"pek3a", "i-8kd1pu4y", "vpc-router-pek3a", "system", "pek3ar01n01", "running", "pitrix",
     "centos77x64a", "s1.small.r1", 1, 1024, "vxnet-0"},
    {"sh1a", "i-s1x4ka7m", "web-sh-01", "ops", "sh1ar01n01", "running", "self", "centos77x64a",
     "s1.large.r1", 2, 2048, "vxnet-s1q2v8p"},
    {"sh1a", "i-s1x4ka7n", "web-sh-02", "ops", "sh1ar01n02", "running", "self", "centos77x64a",
     "s1.large.r1", 2, 2048, "vxnet-s1q2v8p"},
    {"sh1a", "i-s2m8qe3d", "backup-proxy", "ops", "sh1ar02n01", "stopped", "self", "img-s8pw1fzk",
     "s1.medium.r2", 1, 2048, "vxnet-s1q2v8p"},
    {"sh1a", "i-s3r5td9w", "monitor-01", "ops", "sh1ar01n01", "running", "self", "debian11x64a",
     "s1.medium.r2", 1, 2048, "vxnet-0"},
    {"sh1a", "i-s4c7nv2p", "etl-worker", "ops", "sh1ar01n02", "pending", "self", "centos77x64a",
     "e1.xlarge.r2", 4, 8192, "vxnet-s1q2v8p"},
    {"sh1a", "i-s5h2bz6f", "report-gen", "ops", "sh1ar02n01", "suspended", "self", "centos77x64a",
     "s1.small.r1", 1, 1024, "vxnet-s1q2v8p"},
    {"sh1a", "i-s6k9wy1j", "dev-api-01", "dev", "sh1ar01n01", "running", "self", "ubuntu2004x64a",
     "s1.medium.r2", 1, 2048, "vxnet-s5t9m2w"},
    {"sh1a", "i-s7p3dl8c", "dev-db", "dev", "sh1ar01n02", "stopped", "self", "ubuntu2004x64a",
     "s1.large.r2", 2, 4096, "vxnet-s5t9m2w"},
    {"sh1a", "i-s8g6rm4x", "dev-frontend", "dev", "sh1ar02n01", "running", "self", "debian11x64a",
     "s1.small.r1", 1, 1024, "vxnet-s5t9m2w"},
    {"sh1a", "i-s9t1hf5q", "old-test", "dev", "", "terminated", "self", "centos77x64a",
     "s1.small.r1", 1, 1024, ""},
    {"sh1a", "i-s0b8jk2u", "rdb-pg-primary", "dev", "sh1ar01n01", "running", "pitrix",
     "centos77x64a", "s1.large.r2", 2, 4096, "vxnet-s5t9m2w"},
    {"sh1a", "i-sa4v7nx3", "cache-managed", "ops", "sh1ar01n02", "stopped", "pitrix",
     "centos77x64a", "s1.medium.r2", 1, 2048, "vxnet-s1q2v8p"},
    {"sh1a", "i-sb2w5pe9", "vpc-router-sh1a", "system", "sh1ar02n01", "running", "pitrix",
     "centos77x64a", "s1.small.r1", 1, 1024, "vxnet-0"},
};

struct Volume_Row {
  const char* zone;
  const char* id;
  const char* name;
  const char* owner;
  int size;
  int type;
  const char* repl;
  const char* instance;  // "" when free
  const char* device;
};

const Volume_Row VOLUMES[] = {
    {"pek3a", "vol-w3b9k2fa", "web-01-data", "ops", 50, 0, "rpp-00000002", "i-k8s2m1qa",
     "/dev/vdb"},
    {"pek3a", "vol-d8q4m1zr", "db-primary-data", "ops", 200, 3, "rpp-00000002", "i-3fq9zt0c",
     "/dev/vdb"},
    {"pek3a", "vol-d8q4m1zs", "db-primary-log", "ops", 100, 3, "rpp-00000002", "i-3fq9zt0c",
     "/dev/vdc"},
    {"pek3a", "vol-r2x7p5nt", "db-replica-data", "ops", 200, 3, "rpp-00000002", "i-3fq9zt0d",
     "/dev/vdb"},
    {"pek3a", "vol-f6j1c8ua", "spare-ops", "ops", 20, 0, "rpp-00000002", "", ""},
    {"pek3a", "vol-a9n3e4wq", "archive", "ops", 1000, 2, "rpp-00000001", "", ""},
    {"pek3a", "vol-c5t8y2hb", "ci-cache", "dev", 100, 0, "rpp-00000002", "i-7ck5wb9p", "/dev/vdb"},
    {"pek3a", "vol-g1m6v3kd", "scratch-dev", "dev", 50, 0, "rpp-00000002", "", ""},
    {"sh1a", "vol-s1q7w4ze", "web-sh-data", "ops", 50, 0, "rpp-00000002", "i-s1x4ka7m", "/dev/vdb"},
    {"sh1a", "vol-s2k5r9yb", "backup-staging", "ops", 500, 2, "rpp-00000001", "i-s2m8qe3d",
     "/dev/vdb"},
    {"sh1a", "vol-s3f2n6lc", "free-ops-sh", "ops", 20, 0, "rpp-00000002", "", ""},
    {"sh1a", "vol-s4d9t1mx", "dev-db-data", "dev", 100, 3, "rpp-00000002", "i-s7p3dl8c",
     "/dev/vdb"},
    {"sh1a", "vol-s5h4p8va", "dev-free", "dev", 30, 0, "rpp-00000002", "", ""},
};

struct Snapshot_Row {
  const char* zone;
  const char* id;
  const char* name;
  const char* owner;
  int type;  // 0 incremental, 1 full, 2 in place
  const char* resource;
  const char* resource_type;
  const char* parent;  // "self" for a chain's head
};

const Snapshot_Row SNAPSHOTS[] = {
    {"pek3a", "ss-d3k8q1wa", "db-primary-daily", "ops", 1, "vol-d8q4m1zr", "volume", "self"},
    {"pek3a", "ss-d3k8q1wb", "db-primary-incr", "ops", 0, "vol-d8q4m1zr", "volume", "ss-d3k8q1wa"},
    {"pek3a", "ss-w7m2x9pe", "web-01-before-upgrade", "ops", 2, "i-k8s2m1qa", "instance", "self"},
    {"pek3a", "ss-c4n6t1ry", "ci-runner-golden", "dev", 1, "i-7ck5wb9p", "instance", "self"},
    {"sh1a", "ss-s1b5v8hn", "backup-staging-weekly", "ops", 1, "vol-s2k5r9yb", "volume", "self"},
    {"sh1a", "ss-s2g3j7kd", "dev-db-inplace", "dev", 2, "vol-s4d9t1mx", "volume", "self"},
};

Zone& add_zone(Inventory& inventory, const char* id) {
  Zone zone;
  zone.record = make_zone(object{{"zone_id", id}, {"status", "active"}});
  inventory.zones.push_back(std::move(zone));
  return inventory.zones.back();
}

object image_fields(const Image_Row& r, int n) {
  return object{
      {"image_id", r.id},         {"image_name", r.name},   {"owner", owner_id(r.owner)},
      {"os_family", r.os_family}, {"platform", r.platform}, {"processor_type", r.processor_type},
      {"size", r.size},           {"status", r.status},     {"create_time", created(n)}};
}

void add_images(Inventory& inventory) {
  int n = 0;
  for (Zone& zone : inventory.zones)
    for (const Image_Row& r : SYSTEM_IMAGES)
      zone.images.add(make_image(image_fields(r, n++), zone.id()));
  for (const Private_Image_Row& r : PRIVATE_IMAGES) {
    Zone* zone = inventory.zone(r.zone);
    zone->images.add(make_image(image_fields(r.image, n++), zone->id()));
  }
}

void add_vxnets(Inventory& inventory) {
  int n = 0;
  for (const Vxnet_Row& r : VXNETS) {
    Zone* zone = inventory.zone(r.zone);
    object fields{{"vxnet_id", r.id},           {"vxnet_name", r.name},
                  {"owner", owner_id(r.owner)}, {"vxnet_type", r.type},
                  {"vpc_router_id", r.router},  {"create_time", created(n++)}};
    if (*r.router != '\0') {
      fields["router"] = object{{"router_id", r.router},
                                {"router_name", std::string(r.name) + "-router"},
                                {"manager_ip", "192.168.100.1"},
                                {"ip_network", "192.168.100.0/24"},
                                {"dyn_ip_start", "192.168.100.2"},
                                {"dyn_ip_end", "192.168.100.254"},
                                {"mode", 0}};
    }
    zone->vxnets.add(make_vxnet(std::move(fields), zone->id()));
  }
}

void add_instances(Inventory& inventory) {
  int n = 0;
  for (const Instance_Row& r : INSTANCES) {
    Zone* zone = inventory.zone(r.zone);
    const Record* image = zone->images.find(r.image);
    const bool windows = image != nullptr && image->text("platform") == "windows";
    array vxnets;
    if (const Record* vxnet = zone->vxnets.find(r.vxnet)) {
      vxnets.push_back(object{{"vxnet_id", vxnet->id()},
                              {"vxnet_name", vxnet->text("vxnet_name")},
                              {"vxnet_type", vxnet->integer("vxnet_type")},
                              {"nic_id", "52:54:99:" + std::to_string(10 + n) + ":4a:2c"},
                              {"private_ip", "192.168.8." + std::to_string(3 + n)},
                              {"role", 1},
                              {"ipv6_address", ""}});
    }
    object image_object;
    if (image != nullptr) image_object = image_summary(*image);
    const std::string time = created(n++);
    object fields{{"instance_id", r.id},
                  {"instance_name", r.name},
                  {"owner", owner_id(r.owner)},
                  {"host_machine", r.host},
                  {"status", r.status},
                  {"controller", r.controller},
                  {"instance_type", r.type},
                  {"vcpus_current", r.cpu},
                  {"memory_current", r.memory},
                  {"instance_class", std::string(r.type).rfind("e1", 0) == 0 ? 201 : 101},
                  {"platform", windows ? "windows" : "linux"},
                  {"image", std::move(image_object)},
                  {"extra", object{{"cpu_model", r.cpu >= 4 ? "CascadeLake" : ""},
                                   {"os_disk_size", windows ? 50 : 20}}},
                  {"vxnets", std::move(vxnets)},
                  {"create_time", time},
                  {"status_time", time}};
    zone->instances.add(make_instance(std::move(fields), zone->id()));
  }
}

void add_volumes(Inventory& inventory) {
  int n = 0;
  for (const Volume_Row& r : VOLUMES) {
    Zone* zone = inventory.zone(r.zone);
    Record* instance = zone->instances.find(r.instance);
    object fields{{"volume_id", r.id},
                  {"volume_name", r.name},
                  {"owner", owner_id(r.owner)},
                  {"size", r.size},
                  {"volume_type", r.type},
                  {"repl", r.repl},
                  {"status", instance != nullptr ? "in-use" : "available"},
                  {"create_time", created(n++)}};
    if (instance != nullptr) {
      fields["instance"] = object{{"instance_id", instance->id()},
                                  {"instance_name", instance->text("instance_name")},
                                  {"device", r.device}};
      instance->update([&](object& json) {
        json["volume_ids"].as_array().push_back(r.id);
        json["volumes"].as_array().push_back(object{{"volume_id", r.id},
                                                    {"volume_name", r.name},
                                                    {"volume_type", r.type},
                                                    {"size", r.size},
                                                    {"device", r.device}});
      });
    }
    zone->volumes.add(make_volume(std::move(fields), zone->id()));
  }
}

void add_snapshots(Inventory& inventory) {
  int n = 0;
  for (const Snapshot_Row& r : SNAPSHOTS) {
    Zone* zone = inventory.zone(r.zone);
    const bool volume = std::string(r.resource_type) == "volume";
    const Record* resource =
        volume ? zone->volumes.find(r.resource) : zone->instances.find(r.resource);
    const std::string name_key = volume ? "volume_name" : "instance_name";
    object fields{{"snapshot_id", r.id},
                  {"snapshot_name", r.name},
                  {"owner", owner_id(r.owner)},
                  {"snapshot_type", r.type},
                  {"parent_id", r.parent},
                  {"is_head", std::string(r.parent) == "self" ? 1 : 0},
                  {"size", volume ? resource->integer("size") : 20},
                  {"create_time", created(40 + n++)},
                  {"resource", object{{"resource_id", r.resource},
                                      {"resource_name", resource->text(name_key)},
                                      {"resource_type", r.resource_type}}}};
    zone->snapshots.add(make_snapshot(std::move(fields), zone->id()));
  }
}

void add_jobs(Inventory& inventory) {
  Zone* pek3a = inventory.zone("pek3a");
  pek3a->jobs.add(make_job(object{{"job_id", "j-8f2k1q7a"},
                                  {"job_action", "StartInstances"},
                                  {"owner", DEMO_OPS_USER_ID},
                                  {"status", "successful"},
                                  {"resource_ids", "i-k8s2m1qa"},
                                  {"create_time", created(60)},
                                  {"status_time", created(60)}},
                           pek3a->id()));
  pek3a->jobs.add(make_job(object{{"job_id", "j-3m9x4c2e"},
                                  {"job_action", "StopInstances"},
                                  {"owner", DEMO_DEV_USER_ID},
                                  {"status", "failed"},
                                  {"resource_ids", "i-3ea9tn1v"},
                                  {"error_codes", "5000"},
                                  {"create_time", created(61)},
                                  {"status_time", created(61)}},
                           pek3a->id()));
}

}  // namespace

Inventory demo_inventory() {
  Inventory inventory;
  inventory.version = DEMO_VERSION;
  inventory.boss_keys.push_back({DEMO_BOSS_KEY_ID, DEMO_BOSS_SECRET});
  inventory.users.add(make_user(object{{"user_id", DEMO_OPS_USER_ID},
                                       {"user_name", "ops"},
                                       {"email", "ops@example.com"},
                                       {"create_time", created(0)}}));
  inventory.users.add(make_user(object{{"user_id", DEMO_DEV_USER_ID},
                                       {"user_name", "dev"},
                                       {"email", "dev@example.com"},
                                       {"create_time", created(1)}}));
  inventory.access_keys.add(make_access_key(object{{"access_key_id", DEMO_OPS_KEY_ID},
                                                   {"secret_access_key", DEMO_OPS_SECRET},
                                                   {"access_key_name", "ops automation"},
                                                   {"owner", DEMO_OPS_USER_ID},
                                                   {"create_time", created(2)}}));
  inventory.access_keys.add(make_access_key(object{{"access_key_id", DEMO_DEV_KEY_ID},
                                                   {"secret_access_key", DEMO_DEV_SECRET},
                                                   {"access_key_name", "dev pipeline"},
                                                   {"owner", DEMO_DEV_USER_ID},
                                                   {"create_time", created(3)}}));

  add_zone(inventory, "pek3a");
  add_zone(inventory, "sh1a");
  int n = 0;
  for (const Bot_Row& r : BOTS) {
    Zone* zone = inventory.zone(r.zone);
    const double total = r.free_disk + r.used_disk;
    zone->bots.add(make_bot(object{{"host_machine", r.id},
                                   {"status", r.status},
                                   {"container_mode", r.container_mode},
                                   {"free_disk", r.free_disk},
                                   {"used_disk", r.used_disk},
                                   {"disk_usage", r.used_disk / total},
                                   {"create_time", created(n++)}},
                            zone->id()));
  }
  add_images(inventory);
  add_vxnets(inventory);
  add_instances(inventory);
  add_volumes(inventory);
  add_snapshots(inventory);
  add_jobs(inventory);
  return inventory;
}

}  // namespace qingcloud_sim
