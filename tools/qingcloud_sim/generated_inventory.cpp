#include "tools/qingcloud_sim/generated_inventory.h"

#include <cstdio>
#include <unordered_set>
#include <vector>

#include "tools/qingcloud_sim/demo_inventory.h"
#include "tools/qingcloud_sim/params.h"
#include "tools/qingcloud_sim/record_defaults.h"
#include "tools/qingcloud_sim/sim_clock.h"

namespace qingcloud_sim {
namespace {

using boost::json::array;
using boost::json::object;

constexpr std::int64_t EPOCH = 1672560000;  // 2023-01-01T08:00:00Z

// splitmix64: the same sequence on every platform for the same seed.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  std::size_t below(std::size_t n) { return n == 0 ? 0 : static_cast<std::size_t>(next() % n); }
  bool chance(unsigned percent) { return below(100) < percent; }

 private:
  std::uint64_t state_;
};

// A platform-style id: prefix and 8 lower-case letters and digits, unique.
class Id_Maker {
 public:
  explicit Id_Maker(Random& random) : random_(random) {}
  std::string make(const char* prefix, std::size_t length = 8) {
    static const char ALPHABET[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    for (;;) {
      std::string id = prefix;
      for (std::size_t i = 0; i < length; ++i)
        id += ALPHABET[random_.below(36)];
      if (taken_.insert(id).second) return id;
    }
  }

 private:
  Random& random_;
  std::unordered_set<std::string> taken_;
};

const char* const ZONE_NAMES[] = {"pek3a", "sh1a", "gd2a", "ap2a", "pek3b", "sh1b", "gd2b", "ap3a"};
const char* const ROLES[] = {"web",     "api",   "db",    "cache",  "worker", "batch",  "ci",
                             "etl",     "proxy", "queue", "search", "auth",   "report", "monitor",
                             "gateway", "media", "mail",  "vpn",    "build",  "stream"};
const char* const SYSTEM_IMAGE_IDS[] = {"centos77x64a", "ubuntu2004x64a", "debian11x64a",
                                        "win2019x64a"};
const char* const SYSTEM_IMAGE_NAMES[] = {"CentOS 7.7 64bit", "Ubuntu Server 20.04 LTS 64bit",
                                          "Debian 11 64bit",
                                          "Windows Server 2019 Datacenter 64bit"};
const char* const OS_FAMILIES[] = {"centos", "ubuntu", "debian", "windows"};

struct Shape {
  const char* type;
  int cpu;
  int memory;
  int instance_class;
};
const Shape SHAPES[] = {{"s1.small.r1", 1, 1024, 101},  {"s1.medium.r2", 1, 2048, 101},
                        {"s1.large.r1", 2, 2048, 101},  {"s1.large.r2", 2, 4096, 101},
                        {"e1.xlarge.r2", 4, 8192, 201}, {"e1.2xlarge.r2", 8, 16384, 201}};

std::string zone_name(std::size_t i) {
  if (i < sizeof ZONE_NAMES / sizeof *ZONE_NAMES) return ZONE_NAMES[i];
  return "zone" + std::to_string(i + 1);
}

std::string padded(std::size_t n, int width) {
  char text[32];
  std::snprintf(text, sizeof text, "%0*zu", width, n);
  return text;
}

const char* pick_status(Random& random) {
  const std::size_t r = random.below(100);
  if (r < 60) return "running";
  if (r < 85) return "stopped";
  if (r < 90) return "pending";
  if (r < 94) return "suspended";
  return "terminated";
}

// The states of pick_status in its odds, those a listing shows or the others.
const char* pick_status(Random& random, bool listed) {
  if (listed) return random.below(85) < 60 ? "running" : "stopped";
  const std::size_t r = random.below(15);
  return r < 5 ? "pending" : r < 9 ? "suspended" : "terminated";
}

void add_users(const Generate_Sizes& sizes, Inventory& inventory) {
  inventory.boss_keys.push_back({DEMO_BOSS_KEY_ID, DEMO_BOSS_SECRET});
  for (std::size_t i = 1; i <= sizes.users; ++i) {
    std::string id, name, key, secret;
    if (i == 1) {
      id = DEMO_OPS_USER_ID, name = "ops", key = DEMO_OPS_KEY_ID, secret = DEMO_OPS_SECRET;
    } else if (i == 2) {
      id = DEMO_DEV_USER_ID, name = "dev", key = DEMO_DEV_KEY_ID, secret = DEMO_DEV_SECRET;
    } else {
      id = "usr-gen" + padded(i, 5);
      name = "user-" + padded(i, 4);
      key = "QYGENUSER" + padded(i, 11);
      secret = "gen-secret-" + std::to_string(i);
    }
    const std::string time = format_time(EPOCH + static_cast<std::int64_t>(i) * 3600);
    inventory.users.add(
        make_user(object{{"user_id", id}, {"user_name", name}, {"create_time", time}}));
    inventory.access_keys.add(make_access_key(object{{"access_key_id", key},
                                                     {"secret_access_key", secret},
                                                     {"owner", id},
                                                     {"create_time", time}}));
  }
}

}  // namespace

bool parse_generate_sizes(std::string_view text, Generate_Sizes* sizes, std::string* error) {
  Generate_Sizes result;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(',', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view item = text.substr(start, end - start);
    start = end + 1;
    if (item.empty()) continue;
    const std::size_t eq = item.find('=');
    const std::string_view key = eq == std::string_view::npos ? "instances" : item.substr(0, eq);
    const std::string_view number = eq == std::string_view::npos ? item : item.substr(eq + 1);
    std::int64_t n = 0;
    if (!parse_integer(number, &n) || n < 0) {
      *error = "bad count '" + std::string(number) + "'";
      return false;
    }
    const auto count = static_cast<std::size_t>(n);
    if (key == "instances") {
      result.instances = count;
    } else if (key == "zones") {
      result.zones = count;
    } else if (key == "users") {
      result.users = count;
    } else if (key == "bots") {
      result.bots = count;
    } else if (key == "volumes") {
      result.volumes = count;
    } else if (key == "snapshots") {
      result.snapshots = count;
    } else if (key == "listed") {
      result.listed = count;
    } else {
      *error = "unknown key '" + std::string(key) + "'";
      return false;
    }
  }
  if (result.instances > Generate_Sizes::MAX_INSTANCES) {
    *error = "at most " + std::to_string(Generate_Sizes::MAX_INSTANCES) + " instances";
    return false;
  }
  if (result.zones < 1 || result.zones > 64) {
    *error = "zones must be 1 to 64";
    return false;
  }
  if (result.listed && *result.listed > 100) {
    *error = "listed is a percent, 0 to 100";
    return false;
  }
  *sizes = result;
  return true;
}

Inventory generate_inventory(const Generate_Sizes& given, std::uint64_t seed) {
  Generate_Sizes sizes = given;
  if (sizes.users == 0) sizes.users = 2 + sizes.instances / 1000;
  if (sizes.bots == 0) sizes.bots = 3 + sizes.instances / (sizes.zones * 250);
  if (sizes.volumes == 0) sizes.volumes = sizes.instances / 2;
  if (sizes.snapshots == 0) sizes.snapshots = sizes.instances / 10;

  Random random(seed);
  Id_Maker ids(random);
  Inventory inventory;
  inventory.version = DEMO_VERSION;
  add_users(sizes, inventory);
  std::vector<std::string> user_ids;
  for (const Record& user : inventory.users)
    user_ids.push_back(user.id());

  std::vector<std::vector<std::string>> bots(sizes.zones);
  // vxnets[zone][user]: the user's networks in that zone.
  std::vector<std::vector<std::vector<std::string>>> vxnets(
      sizes.zones, std::vector<std::vector<std::string>>(user_ids.size()));
  for (std::size_t z = 0; z < sizes.zones; ++z) {
    Zone zone;
    zone.record = make_zone(object{{"zone_id", zone_name(z)}});
    const std::string& zone_id = zone.id();
    for (std::size_t b = 1; b <= sizes.bots; ++b) {
      std::string id = zone_id + "r" + padded((b + 1) / 2, 2) + "n" + padded(2 - b % 2, 2);
      const double used = static_cast<double>(random.below(4000)) + 0.5;
      zone.bots.add(make_bot(object{{"host_machine", id},
                                    {"free_disk", 4096.0 - used},
                                    {"used_disk", used},
                                    {"disk_usage", used / 4096.0}},
                             zone_id));
      bots[z].push_back(std::move(id));
    }
    for (std::size_t i = 0; i < 4; ++i) {
      zone.images.add(make_image(object{{"image_id", SYSTEM_IMAGE_IDS[i]},
                                        {"image_name", SYSTEM_IMAGE_NAMES[i]},
                                        {"os_family", OS_FAMILIES[i]},
                                        {"platform", i == 3 ? "windows" : "linux"},
                                        {"size", i == 3 ? 50 : 20}},
                                 zone_id));
    }
    zone.vxnets.add(make_vxnet(
        object{{"vxnet_id", "vxnet-0"}, {"vxnet_name", "base network"}, {"vxnet_type", 2}},
        zone_id));
    zone.vxnets.add(make_vxnet(
        object{{"vxnet_id", "vxnet-1"}, {"vxnet_name", "base network v6"}, {"vxnet_type", 2}},
        zone_id));
    for (std::size_t u = 0; u < user_ids.size(); ++u) {
      const std::string user_name(inventory.users.find(user_ids[u])->text("user_name"));
      for (int type = 0; type < 2; ++type) {
        std::string id = ids.make("vxnet-", 7);
        const bool routed = type == 1 && random.chance(80);
        zone.vxnets.add(make_vxnet(object{{"vxnet_id", id},
                                          {"vxnet_name", user_name + (type ? "-vpc" : "-lab")},
                                          {"owner", user_ids[u]},
                                          {"vxnet_type", type},
                                          {"vpc_router_id", routed ? ids.make("rtr-") : ""}},
                                   zone_id));
        vxnets[z][u].push_back(std::move(id));
      }
    }
    inventory.zones.push_back(std::move(zone));
  }

  std::vector<std::vector<std::string>> instances_of(sizes.zones);
  for (std::size_t n = 0; n < sizes.instances; ++n) {
    const std::size_t z = random.below(sizes.zones);
    Zone& zone = inventory.zones[z];
    // With a listed share, an instance is either one that a listing shows
    // (running or stopped, a user's own) or one in another state.
    const bool forced = sizes.listed.has_value();
    const bool shown = forced && random.below(100) < *sizes.listed;
    const bool system = !shown && random.chance(3);
    const std::size_t u = random.below(user_ids.size());
    const Shape& shape = SHAPES[random.below(sizeof SHAPES / sizeof *SHAPES)];
    const std::size_t image = random.below(4);
    const char* status = forced ? pick_status(random, shown) : pick_status(random);
    const bool placed = std::string(status) != "terminated";
    std::string id = ids.make("i-");
    const std::string time = format_time(EPOCH + static_cast<std::int64_t>(n) * 37);
    const std::string& vxnet = system ? std::string("vxnet-0") : vxnets[z][u][random.below(2)];
    object fields{
        {"instance_id", id},
        {"instance_name", std::string(ROLES[random.below(sizeof ROLES / sizeof *ROLES)]) + "-" +
                              padded(1 + random.below(99), 2)},
        {"owner", system ? std::string(SYSTEM_OWNER) : user_ids[u]},
        {"host_machine", placed ? bots[z][random.below(bots[z].size())] : std::string()},
        {"status", status},
        {"controller", !shown && (system || random.chance(8)) ? "pitrix" : "self"},
        {"instance_type", shape.type},
        {"vcpus_current", shape.cpu},
        {"memory_current", shape.memory},
        {"instance_class", shape.instance_class},
        {"platform", image == 3 ? "windows" : "linux"},
        {"image", object{{"image_id", SYSTEM_IMAGE_IDS[image]},
                         {"image_name", SYSTEM_IMAGE_NAMES[image]},
                         {"os_family", OS_FAMILIES[image]},
                         {"platform", image == 3 ? "windows" : "linux"},
                         {"image_size", image == 3 ? 50 : 20}}},
        {"extra", object{{"os_disk_size", image == 3 ? 50 : 20}}},
        {"vxnets", array{object{{"vxnet_id", vxnet},
                                {"vxnet_name", zone.vxnets.find(vxnet)->text("vxnet_name")},
                                {"vxnet_type", zone.vxnets.find(vxnet)->integer("vxnet_type")},
                                {"private_ip", "10.0." + std::to_string(n / 250 % 250) + "." +
                                                   std::to_string(2 + n % 250)},
                                {"role", 1}}}},
        {"create_time", time},
        {"status_time", time}};
    zone.instances.add(make_instance(std::move(fields), zone.id()));
    instances_of[z].push_back(std::move(id));
  }

  for (std::size_t n = 0; n < sizes.volumes; ++n) {
    const std::size_t z = random.below(sizes.zones);
    Zone& zone = inventory.zones[z];
    Record* instance = nullptr;
    if (!instances_of[z].empty() && random.chance(60)) {
      instance = zone.instances.find(instances_of[z][random.below(instances_of[z].size())]);
      if (instance->text("status") == "terminated") instance = nullptr;
    }
    const std::string owner =
        instance ? instance->owner() : user_ids[random.below(user_ids.size())];
    std::string id = ids.make("vol-");
    int size = 10 * static_cast<int>(1 + random.below(50));
    const int type = static_cast<int>(random.below(4));
    if (type == 2 && size < 100) size *= 10;  // high capacity starts at 100 GiB
    object fields{{"volume_id", id},     {"volume_name", "data-" + padded(n + 1, 5)},
                  {"owner", owner},      {"size", size},
                  {"volume_type", type}, {"status", instance ? "in-use" : "available"}};
    if (instance != nullptr) {
      std::string device;
      instance->update([&](object& json) {
        array& attached = json["volume_ids"].as_array();
        device = "/dev/vd" + std::string(1, static_cast<char>('b' + attached.size() % 24));
        attached.push_back(boost::json::string(id));
        json["volumes"].as_array().push_back(
            object{{"volume_id", id}, {"size", size}, {"device", device}});
      });
      fields["instance"] = object{{"instance_id", instance->id()},
                                  {"instance_name", instance->text("instance_name")},
                                  {"device", device}};
    }
    zone.volumes.add(make_volume(std::move(fields), zone.id()));
  }

  for (std::size_t n = 0; n < sizes.snapshots && sizes.instances > 0; ++n) {
    const std::size_t z = random.below(sizes.zones);
    if (instances_of[z].empty()) continue;
    Zone& zone = inventory.zones[z];
    const Record* instance =
        zone.instances.find(instances_of[z][random.below(instances_of[z].size())]);
    zone.snapshots.add(
        make_snapshot(object{{"snapshot_id", ids.make("ss-")},
                             {"snapshot_name", "snap-" + padded(n + 1, 5)},
                             {"owner", instance->owner()},
                             {"snapshot_type", static_cast<int>(random.below(3))},
                             {"resource", object{{"resource_id", instance->id()},
                                                 {"resource_name", instance->text("instance_name")},
                                                 {"resource_type", "instance"}}}},
                      zone.id()));
  }
  return inventory;
}

}  // namespace qingcloud_sim
