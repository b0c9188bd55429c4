#include <optional>
#include <set>

#include <boost/json/parse.hpp>
#include <boost/json/serialize.hpp>
#include <gtest/gtest.h>

#include "tools/qingcloud_sim/demo_inventory.h"
#include "tools/qingcloud_sim/generated_inventory.h"
#include "tools/qingcloud_sim/inventory_file.h"
#include "tools/qingcloud_sim/shapes.h"

namespace qingcloud_sim {
namespace {

using boost::json::object;
using boost::json::value;

// The members, and their kinds, that the platform's clients read from each
// kind of record; every record served must carry them.
enum Kind { STRING, INTEGER, REAL, OBJECT, ARRAY };
struct Required {
  const char* path;  // "/a/b"
  Kind kind;
};

const std::vector<Required> INSTANCE_MEMBERS = {
    {"/status", STRING},          {"/owner", STRING},
    {"/host_machine", STRING},    {"/instance_id", STRING},
    {"/instance_name", STRING},   {"/instance_type", STRING},
    {"/cpu_topology", STRING},    {"/vcpus_current", INTEGER},
    {"/memory_current", INTEGER}, {"/instance_class", INTEGER},
    {"/volume_ids", ARRAY},       {"/vxnets", ARRAY},
    {"/extra/cpu_model", STRING}, {"/extra/os_disk_size", INTEGER},
    {"/image/image_id", STRING},  {"/controller", STRING},
};

bool has_kind(const value* v, Kind kind) {
  if (v == nullptr) return false;
  switch (kind) {
    case STRING:
      return v->is_string();
    case INTEGER:
      return v->is_int64() || v->is_uint64();
    case REAL:
      return v->is_double();
    case OBJECT:
      return v->is_object();
    case ARRAY:
      return v->is_array();
  }
  return false;
}

void expect_members(const Record& r, const std::vector<Required>& members) {
  const value json = boost::json::parse(r.serialized());
  for (const Required& m : members) {
    boost::json::error_code ec;
    EXPECT_TRUE(has_kind(json.find_pointer(m.path, ec), m.kind)) << r.id() << " " << m.path;
  }
}

TEST(Demo_Inventory, Fixed_facts) {
  const Inventory inv = demo_inventory();
  EXPECT_EQ(inv.version, "5.1.1");
  ASSERT_EQ(inv.zones.size(), 2u);
  EXPECT_EQ(inv.zones[0].id(), "pek3a");
  EXPECT_EQ(inv.zones[1].id(), "sh1a");
  ASSERT_EQ(inv.boss_keys.size(), 1u);
  EXPECT_EQ(inv.boss_keys[0].access_key_id, "QYDEMOBOSS0000000001");
  EXPECT_EQ(inv.boss_keys[0].secret_access_key, "demo-boss-secret");
  const Record* ops = inv.access_keys.find("QYDEMOOPS00000000001");
  const Record* dev = inv.access_keys.find("QYDEMODEV00000000001");
  ASSERT_TRUE(ops && dev);
  EXPECT_EQ(ops->text("secret_access_key"), "demo-ops-secret");
  EXPECT_EQ(dev->text("secret_access_key"), "demo-dev-secret");
  EXPECT_EQ(inv.users.find(ops->owner())->text("user_name"), "ops");
  EXPECT_EQ(inv.users.find(dev->owner())->text("user_name"), "dev");
  EXPECT_GE(inv.count_instances(), 20u);
  EXPECT_LE(inv.count_instances(), 40u);
}

TEST(Demo_Inventory, Is_lifelike_and_complete) {
  const Inventory inv = demo_inventory();
  std::set<std::string> statuses, controllers, owners_of_vxnets;
  std::set<std::int64_t> vxnet_types;
  for (const Zone& zone : inv.zones) {
    SCOPED_TRACE(zone.id());
    EXPECT_GE(zone.bots.size(), 3u);
    for (const char* user : {DEMO_OPS_USER_ID, DEMO_DEV_USER_ID}) {
      std::set<std::string> own;
      for (const Record& i : zone.instances)
        if (i.owner() == user && i.text("controller") == "self")
          own.insert(std::string(i.text("status")));
      EXPECT_TRUE(own.count("running") && own.count("stopped")) << user;
    }
    for (const Record& i : zone.instances) {
      statuses.insert(std::string(i.text("status")));
      controllers.insert(std::string(i.text("controller")));
      expect_members(i, INSTANCE_MEMBERS);
      // Attached volumes agree with the instance's list.
      const value json = boost::json::parse(i.serialized());
      for (const value& id : json.at("volume_ids").as_array()) {
        const Record* v = zone.volumes.find(id.as_string());
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(v->text("instance.instance_id"), i.id());
        EXPECT_EQ(v->text("status"), "in-use");
      }
    }
    bool vpc_without_router = false;
    for (const Record& v : zone.vxnets) {
      expect_members(v, {{"/owner", STRING},
                         {"/vxnet_type", INTEGER},
                         {"/vxnet_id", STRING},
                         {"/vxnet_name", STRING},
                         {"/vpc_router_id", STRING}});
      vxnet_types.insert(v.integer("vxnet_type"));
      owners_of_vxnets.insert(v.owner());
      const value json = boost::json::parse(v.serialized());
      vpc_without_router |=
          v.integer("vxnet_type") == 1 && json.at("vpc_router_id").as_string().empty();
    }
    EXPECT_TRUE(vpc_without_router);
    EXPECT_NE(zone.vxnets.find("vxnet-0"), nullptr);
    EXPECT_NE(zone.vxnets.find("vxnet-1"), nullptr);
    std::set<std::string> volume_states;
    for (const Record& v : zone.volumes) {
      expect_members(v, {{"/volume_id", STRING},
                         {"/volume_name", STRING},
                         {"/repl", STRING},
                         {"/size", INTEGER},
                         {"/volume_type", INTEGER},
                         {"/instance/instance_id", STRING}});
      volume_states.insert(std::string(v.text("status")));
    }
    EXPECT_TRUE(volume_states.count("in-use") && volume_states.count("available"));
    for (const Record& b : zone.bots)
      expect_members(b, {{"/host_machine", STRING},
                         {"/container_mode", STRING},
                         {"/free_disk", REAL},
                         {"/used_disk", REAL},
                         {"/disk_usage", REAL}});
    for (const Record& s : zone.snapshots)
      expect_members(s, {{"/snapshot_id", STRING},
                         {"/snapshot_name", STRING},
                         {"/snapshot_type", INTEGER},
                         {"/create_time", STRING},
                         {"/resource/resource_id", STRING}});
    for (const Record& img : zone.images)
      expect_members(img, {{"/image_id", STRING},
                           {"/image_name", STRING},
                           {"/size", INTEGER},
                           {"/provider", STRING},
                           {"/platform", STRING},
                           {"/os_family", STRING},
                           {"/processor_type", STRING}});
    EXPECT_FALSE(zone.snapshots.size() == 0 || zone.images.size() == 0);
  }
  for (const char* s : {"running", "stopped", "pending", "terminated", "suspended"})
    EXPECT_TRUE(statuses.count(s)) << s;
  EXPECT_TRUE(controllers.count("pitrix"));
  EXPECT_EQ(vxnet_types, (std::set<std::int64_t>{0, 1, 2}));
  EXPECT_EQ(owners_of_vxnets,
            (std::set<std::string>{DEMO_OPS_USER_ID, DEMO_DEV_USER_ID, SYSTEM_OWNER}));
}

// Every instance and volume is one that RunInstances or CreateVolumes could
// have made, and a named type agrees with the instance's CPUs and memory.
void expect_offered_shapes(const Inventory& inv) {
  for (const Zone& zone : inv.zones) {
    for (const Record& i : zone.instances) {
      SCOPED_TRACE(i.id());
      const value json = boost::json::parse(i.serialized());
      const std::optional<Instance_Type> type = find_instance_type(i.text("instance_type"));
      ASSERT_TRUE(type) << i.text("instance_type");
      const std::int64_t cpu = json.at("vcpus_current").as_int64();
      const std::int64_t memory = json.at("memory_current").as_int64();
      EXPECT_EQ(type->cpu, cpu);
      EXPECT_EQ(type->memory, memory);
      EXPECT_NO_THROW(check_cpu(cpu));
      EXPECT_NO_THROW(check_memory(memory));
      EXPECT_NO_THROW(check_os_disk_size(json.at("extra").at("os_disk_size").as_int64(),
                                         json.at("platform") == "windows"));
    }
    for (const Record& v : zone.volumes) {
      SCOPED_TRACE(v.id());
      const value json = boost::json::parse(v.serialized());
      EXPECT_NO_THROW(check_volume(json.at("volume_type").as_int64(), json.at("size").as_int64()));
    }
  }
}

TEST(Built_In_Inventories, Keep_to_what_the_platform_offers) {
  expect_offered_shapes(demo_inventory());
  Generate_Sizes sizes;
  sizes.instances = 2000;
  sizes.zones = 2;
  expect_offered_shapes(generate_inventory(sizes, 1));
}

TEST(Inventory_File, Dump_and_load_give_the_same_inventory) {
  const Inventory demo = demo_inventory();
  const std::string text = boost::json::serialize(dump_inventory(demo));
  const Inventory loaded = load_inventory(text);
  EXPECT_EQ(boost::json::serialize(dump_inventory(loaded)), text);
}

TEST(Inventory_File, Fills_defaults_and_keeps_unknown_members) {
  const Inventory inv = load_inventory(R"({
    "users": [{"user_id": "usr-1"}],
    "access_keys": [{"access_key_id": "K", "secret_access_key": "S", "owner": "usr-1"}],
    "zones": [{"zone_id": "z1",
               "instances": [{"instance_id": "i-1", "owner": "usr-1", "custom": [1, 2]}],
               "leases": [{"resource_id": "i-1", "start": "2023-03-01T08:00:00Z",
                           "active_at": "2023-03-01T09:00:00Z"}]}]})");
  EXPECT_EQ(inv.version, "5.1.1");
  ASSERT_EQ(inv.zones.size(), 1u);
  const Record* i = inv.zones[0].instances.find("i-1");
  ASSERT_NE(i, nullptr);
  expect_members(*i, INSTANCE_MEMBERS);
  EXPECT_EQ(i->json().at("custom"), (boost::json::array{1, 2}));
  EXPECT_EQ(i->text("status"), "running");
  EXPECT_EQ(inv.zones[0].leases.at("i-1").active_at - inv.zones[0].leases.at("i-1").start, 3600);
  EXPECT_EQ(inv.users.find("usr-1")->text("status"), "active");
}

TEST(Inventory_File, Names_the_place_of_a_fault) {
  const std::pair<const char*, const char*> cases[] = {
      {"[]", "not a JSON object"},
      {"{", "text"},
      {R"({"zones": {}})", "zones: not an array"},
      {R"({"zones": [{"instances": []}]})", "zones[0]: record without a string \"zone_id\""},
      {R"({"zones": [{"zone_id": "z", "instances": [{"instance_id": 5}]}]})",
       "zones[0].instances[0]: record without a string \"instance_id\""},
      {R"({"zones": [{"zone_id": "z", "volumes": [{"volume_id": "v"}, {"volume_id": "v"}]}]})",
       "zones[0].volumes[1]: duplicate id"},
      {R"({"zones": [{"zone_id": "z"}, {"zone_id": "z"}]})", "zones[1]: duplicate zone"},
      {R"({"access_keys": [{"access_key_id": "k", "secret_access_key": "s"}]})",
       "access_keys[0]: record without a string \"owner\""},
      {R"({"boss_keys": [{"access_key_id": "k"}]})", "boss_keys[0]"},
      {R"({"zones": [{"zone_id": "z", "leases": [{"resource_id": "r", "start": "now"}]}]})",
       "zones[0].leases[0].start"},
      {R"({"version": 5})", "version: not a string"},
  };
  for (const auto& [text, where] : cases) {
    try {
      load_inventory(text);
      ADD_FAILURE() << text;
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string(e.what()).find(where), std::string::npos) << e.what();
    }
  }
}

TEST(Generated_Inventory, Same_seed_same_platform) {
  Generate_Sizes sizes;
  std::string error;
  ASSERT_TRUE(parse_generate_sizes("instances=500,zones=3,users=4,bots=2", &sizes, &error));
  const std::string a = boost::json::serialize(dump_inventory(generate_inventory(sizes, 7)));
  const std::string b = boost::json::serialize(dump_inventory(generate_inventory(sizes, 7)));
  const std::string c = boost::json::serialize(dump_inventory(generate_inventory(sizes, 8)));
  EXPECT_EQ(a, b);
  EXPECT_NE(a, c);

  const Inventory inv = generate_inventory(sizes, 7);
  EXPECT_EQ(inv.count_instances(), 500u);
  EXPECT_EQ(inv.zones.size(), 3u);
  EXPECT_EQ(inv.users.size(), 4u);
  EXPECT_NE(inv.access_keys.find(DEMO_OPS_KEY_ID), nullptr);
  EXPECT_NE(inv.access_keys.find("QYGENUSER00000000003"), nullptr);
  for (const Zone& z : inv.zones) {
    EXPECT_EQ(z.bots.size(), 2u);
    for (const Record& i : z.instances)
      expect_members(i, INSTANCE_MEMBERS);
  }
  // Loading the dump gives the same platform.
  EXPECT_EQ(boost::json::serialize(dump_inventory(load_inventory(a))), a);
}

TEST(Generated_Inventory, Listed_share_sets_how_many_are_running_or_stopped) {
  for (std::size_t listed : {std::size_t{0}, std::size_t{100}}) {
    Generate_Sizes sizes;
    sizes.instances = 300;
    sizes.listed = listed;
    std::size_t shown = 0;
    for (const Zone& z : generate_inventory(sizes, 3).zones)
      for (const Record& i : z.instances)
        shown += (i.text("status") == "running" || i.text("status") == "stopped") &&
                 i.text("controller") == "self";
    EXPECT_EQ(shown, listed == 0 ? 0u : 300u) << listed;
  }
}

TEST(Generated_Inventory, SizesText) {
  struct Case {
    const char* text;
    bool ok;
    std::size_t instances;
  };
  const Case cases[] = {{"100000", true, 100000},   {"instances=10,zones=1", true, 10},
                        {"", true, 1000},           {"zones=0", false, 0},
                        {"instances=-1", false, 0}, {"colour=red", false, 0},
                        {"instances=x", false, 0},  {"2000000", false, 0},
                        {"listed=100", true, 1000}, {"listed=101", false, 0}};
  for (const Case& c : cases) {
    Generate_Sizes sizes;
    std::string error;
    EXPECT_EQ(parse_generate_sizes(c.text, &sizes, &error), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(sizes.instances, c.instances);
    } else {
      EXPECT_FALSE(error.empty());
    }
  }
}

}  // namespace
}  // namespace qingcloud_sim
