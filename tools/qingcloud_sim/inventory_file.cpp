#include "tools/qingcloud_sim/inventory_file.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

#include <boost/json/parse.hpp>

#include "tools/qingcloud_sim/record_defaults.h"
#include "tools/qingcloud_sim/sim_clock.h"

namespace qingcloud_sim {
namespace {

using boost::json::array;
using boost::json::object;
using boost::json::value;

using Zone_Builder = Record (*)(object, const std::string&);

struct Zone_Table {
  const char* key;
  Record_Table Zone::*table;
  Zone_Builder make;
};

const Zone_Table ZONE_TABLES[] = {
    {"bots", &Zone::bots, make_bot},          {"instances", &Zone::instances, make_instance},
    {"volumes", &Zone::volumes, make_volume}, {"vxnets", &Zone::vxnets, make_vxnet},
    {"images", &Zone::images, make_image},    {"snapshots", &Zone::snapshots, make_snapshot},
    {"jobs", &Zone::jobs, make_job},
};

[[noreturn]] void fail(const std::string& where, const std::string& what) {
  throw std::runtime_error("inventory: " + where + ": " + what);
}

const array* array_member(const object& o, const char* key, const std::string& where) {
  const value* v = o.if_contains(key);
  if (v == nullptr) return nullptr;
  if (!v->is_array()) fail(where + key, "not an array");
  return &v->get_array();
}

template <typename Make>
void load_records(const object& from, const char* key, const std::string& where,
                  Record_Table& table, Make make) {
  const array* records = array_member(from, key, where);
  if (records == nullptr) return;
  for (std::size_t i = 0; i < records->size(); ++i) {
    const std::string at = where + key + "[" + std::to_string(i) + "]";
    const value& element = (*records)[i];
    if (!element.is_object()) fail(at, "not an object");
    Record record;
    try {
      record = make(element.get_object());
    } catch (const std::invalid_argument& e) {
      fail(at, e.what());
    }
    if (!table.add(std::move(record))) fail(at, "duplicate id");
  }
}

std::int64_t time_member(const object& o, const char* key, const std::string& where) {
  const value* v = o.if_contains(key);
  if (v == nullptr) return 0;
  std::int64_t seconds = 0;
  if (!v->is_string() || !parse_time(std::string(v->get_string()), &seconds))
    fail(where + "." + key, "not a time like 2023-03-01T08:00:00Z");
  return seconds;
}

void load_leases(const object& from, const std::string& where, Zone& zone) {
  const array* leases = array_member(from, "leases", where);
  if (leases == nullptr) return;
  for (std::size_t i = 0; i < leases->size(); ++i) {
    const std::string at = where + "leases[" + std::to_string(i) + "]";
    const value& element = (*leases)[i];
    const value* id =
        element.is_object() ? element.get_object().if_contains("resource_id") : nullptr;
    if (id == nullptr || !id->is_string()) fail(at, "lease without a string \"resource_id\"");
    const object& o = element.get_object();
    Lease lease;
    lease.resource_id = std::string(id->get_string());
    lease.start = time_member(o, "start", at);
    lease.active_at = time_member(o, "active_at", at);
    const value* never = o.if_contains("never_active");
    lease.never_active = never != nullptr && never->is_bool() && never->get_bool();
    zone.leases[lease.resource_id] = lease;
  }
}

void load_zone(const value& element, const std::string& where, Inventory& inventory) {
  if (!element.is_object()) fail(where, "not an object");
  object fields = element.get_object();
  for (const Zone_Table& t : ZONE_TABLES)
    fields.stable_erase(t.key);
  fields.stable_erase("leases");
  Zone zone;
  try {
    zone.record = make_zone(std::move(fields));
  } catch (const std::invalid_argument& e) {
    fail(where, e.what());
  }
  if (inventory.zone(zone.id()) != nullptr) fail(where, "duplicate zone");
  const object& from = element.get_object();
  const std::string prefix = where + ".";
  for (const Zone_Table& t : ZONE_TABLES) {
    load_records(from, t.key, prefix, zone.*(t.table),
                 [&](const object& o) { return t.make(o, zone.id()); });
  }
  load_leases(from, prefix, zone);
  inventory.zones.push_back(std::move(zone));
}

array dump_table(const Record_Table& table) {
  array out;
  for (const Record& r : table)
    out.push_back(r.json());
  return out;
}

}  // namespace

Inventory load_inventory(std::string_view json_text) {
  boost::json::error_code ec;
  value root = boost::json::parse(json_text, ec);
  if (ec) fail("text", ec.message());
  if (!root.is_object()) fail("text", "not a JSON object");
  const object& top = root.get_object();

  Inventory inventory;
  if (const value* version = top.if_contains("version")) {
    if (!version->is_string()) fail("version", "not a string");
    inventory.version = std::string(version->get_string());
  }
  if (const array* keys = array_member(top, "boss_keys", "")) {
    for (std::size_t i = 0; i < keys->size(); ++i) {
      const value& k = (*keys)[i];
      const value* id = k.is_object() ? k.get_object().if_contains("access_key_id") : nullptr;
      const value* secret =
          k.is_object() ? k.get_object().if_contains("secret_access_key") : nullptr;
      if (id == nullptr || !id->is_string() || secret == nullptr || !secret->is_string())
        fail("boss_keys[" + std::to_string(i) + "]",
             "needs string \"access_key_id\" and \"secret_access_key\"");
      inventory.boss_keys.push_back(
          {std::string(id->get_string()), std::string(secret->get_string())});
    }
  }
  load_records(top, "users", "", inventory.users, make_user);
  load_records(top, "access_keys", "", inventory.access_keys, make_access_key);
  if (const array* zones = array_member(top, "zones", "")) {
    for (std::size_t i = 0; i < zones->size(); ++i)
      load_zone((*zones)[i], "zones[" + std::to_string(i) + "]", inventory);
  }
  return inventory;
}

Inventory load_inventory_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("inventory: cannot read " + path);
  std::ostringstream text;
  text << in.rdbuf();
  return load_inventory(text.str());
}

value dump_inventory(const Inventory& inventory) {
  object top;
  top["version"] = inventory.version;
  array boss_keys;
  for (const Boss_Key& k : inventory.boss_keys)
    boss_keys.push_back(
        object{{"access_key_id", k.access_key_id}, {"secret_access_key", k.secret_access_key}});
  top["boss_keys"] = std::move(boss_keys);
  top["users"] = dump_table(inventory.users);
  top["access_keys"] = dump_table(inventory.access_keys);
  array zones;
  for (const Zone& zone : inventory.zones) {
    object z = zone.record.json();
    for (const Zone_Table& t : ZONE_TABLES)
      z[t.key] = dump_table(zone.*(t.table));
    array leases;
    for (const auto& entry : zone.leases) {
      const Lease& l = entry.second;
      leases.push_back(object{{"resource_id", l.resource_id},
                              {"start", format_time(l.start)},
                              {"active_at", format_time(l.active_at)},
                              {"never_active", l.never_active}});
    }
    z["leases"] = std::move(leases);
    zones.push_back(std::move(z));
  }
  top["zones"] = std::move(zones);
  return top;
}

}  // namespace qingcloud_sim
