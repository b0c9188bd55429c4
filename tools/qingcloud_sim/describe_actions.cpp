// The describe actions: one table of filters per kind, one paging routine.
#include <string>
#include <vector>

#include <boost/json/serialize.hpp>

#include "tools/qingcloud_sim/actions.h"
#include "tools/qingcloud_sim/filters.h"
#include "tools/qingcloud_sim/jobs.h"
#include "tools/qingcloud_sim/paging.h"
#include "tools/qingcloud_sim/platform_state.h"
#include "tools/qingcloud_sim/record_defaults.h"
#include "tools/qingcloud_sim/sim_clock.h"

namespace qingcloud_sim {
namespace {

// Which records of a kind a user's key sees (a back-office key sees all).
enum class Scope {
  ALL,     // everyone sees every record
  OWNED,   // the user's own records
  SHARED,  // the user's own and the platform's ("system") records
};

struct Describe_Entry {
  const char* action;
  const char* set_key;
  Scope scope;
  std::vector<Filter_Field> fields;
};

const Describe_Entry ZONES{"DescribeZones",
                           "zone_set",
                           Scope::ALL,
                           {{"zones", Match::ID}, {"status", Match::TEXT, "status"}}};
const Describe_Entry USERS{"DescribeUsers",
                           "user_set",
                           Scope::ALL,
                           {{"users", Match::ID},
                            {"status", Match::TEXT, "status"},
                            {"search_word", Match::SEARCH, "user_name"}}};
const Describe_Entry ACCESS_KEYS{"DescribeAccessKeys",
                                 "access_key_set",
                                 Scope::ALL,
                                 {{"access_keys", Match::ID},
                                  {"owner", Match::TEXT, "owner"},
                                  {"status", Match::TEXT, "status"}}};
const Describe_Entry BOTS{"Boss2DescribeBots",
                          "bot_set",
                          Scope::ALL,
                          {{"bots", Match::ID}, {"status", Match::TEXT, "status"}}};
const Describe_Entry BOTS_BASIC{"Boss2GetBotsBasicInfo", "bot_set", Scope::ALL, BOTS.fields};
const Describe_Entry INSTANCES{"DescribeInstances",
                               "instance_set",
                               Scope::OWNED,
                               {{"instances", Match::ID},
                                {"status", Match::TEXT, "status"},
                                {"controller", Match::TEXT, "controller"},
                                {"host_machine", Match::TEXT, "host_machine"},
                                {"owner", Match::TEXT, "owner"},
                                {"image_id", Match::TEXT, "image.image_id"},
                                {"instance_type", Match::TEXT, "instance_type"},
                                {"search_word", Match::SEARCH, "instance_name"}}};
const Describe_Entry VXNETS{"DescribeVxnets",
                            "vxnet_set",
                            Scope::SHARED,
                            {{"vxnets", Match::ID},
                             {"excluded_vxnets", Match::NOT_ID},
                             {"vxnet_type", Match::INTEGER, "vxnet_type"},
                             {"owner", Match::TEXT, "owner"},
                             {"search_word", Match::SEARCH, "vxnet_name"}}};
const Describe_Entry VOLUMES{"DescribeVolumes",
                             "volume_set",
                             Scope::OWNED,
                             {{"volumes", Match::ID},
                              {"status", Match::TEXT, "status"},
                              {"volume_type", Match::INTEGER, "volume_type"},
                              {"instance_id", Match::TEXT, "instance.instance_id"},
                              {"owner", Match::TEXT, "owner"},
                              {"search_word", Match::SEARCH, "volume_name"}}};
const Describe_Entry IMAGES{"DescribeImages",
                            "image_set",
                            Scope::SHARED,
                            {{"images", Match::ID},
                             {"status", Match::TEXT, "status"},
                             {"provider", Match::TEXT, "provider"},
                             {"os_family", Match::TEXT, "os_family"},
                             {"processor_type", Match::TEXT, "processor_type"},
                             {"visibility", Match::TEXT, "visibility"},
                             {"owner", Match::TEXT, "owner"},
                             {"search_word", Match::SEARCH, "image_name"}}};
const Describe_Entry SNAPSHOTS{"DescribeSnapshots",
                               "snapshot_set",
                               Scope::OWNED,
                               {{"snapshots", Match::ID},
                                {"status", Match::TEXT, "status"},
                                {"snapshot_type", Match::INTEGER, "snapshot_type"},
                                {"resource_id", Match::TEXT, "resource.resource_id"},
                                {"owner", Match::TEXT, "owner"},
                                {"search_word", Match::SEARCH, "snapshot_name"}}};
const Describe_Entry JOBS{"DescribeJobs",
                          "job_set",
                          Scope::OWNED,
                          {{"jobs", Match::ID},
                           {"status", Match::TEXT, "status"},
                           {"job_action", Match::TEXT, "job_action"},
                           {"owner", Match::TEXT, "owner"}}};

const Record& record_of(const Record& r) {
  return r;
}
const Record& record_of(const Zone& z) {
  return z.record;
}

// Resources that are gone: listed like any other (the platform lists them
// until it purges them), but no longer leased.
bool gone(const Record& r) {
  const std::string_view status = r.text("status");
  return status == "ceased" || status == "deleted";
}

bool visible(const Action_Context& ctx, Scope scope, const Record& r) {
  return scope == Scope::ALL || ctx.may_see(r.owner(), scope == Scope::SHARED);
}

template <typename Table>
const std::vector<const Record*>& matches(Action_Context& ctx, const Describe_Entry& entry,
                                          const Table& table) {
  const Record_Filter filter(entry.fields, ctx.params());
  std::string key = entry.action;
  key += '\x1d';
  if (ctx.zone != nullptr) key += ctx.zone->id();
  key += '\x1d';
  key += ctx.call.caller.back_office ? std::string("*") : ctx.call.caller.user_id;
  key += '\x1d';
  key += filter.key();
  if (const std::vector<const Record*>* cached = ctx.state.cached_matches(key)) return *cached;

  std::vector<const Record*> found;
  for (const auto& row : table) {
    const Record& r = record_of(row);
    if (visible(ctx, entry.scope, r) && filter(r)) found.push_back(&r);
  }
  return ctx.state.cache_matches(key, std::move(found));
}

using Serializer = const std::string& (*)(const Record&, std::string& scratch);

const std::string& as_is(const Record& r, std::string&) {
  return r.serialized();
}

const std::string& without_disk_figures(const Record& r, std::string& scratch) {
  boost::json::object copy = r.json();
  for (const char* key : BOT_DISK_KEYS)
    copy.stable_erase(key);
  scratch = boost::json::serialize(copy);
  return scratch;
}

template <typename Table>
std::string describe(Action_Context& ctx, const Describe_Entry& entry, const Table& table,
                     Serializer serialize = as_is) {
  const Page page = Page::of(ctx.params());
  const std::vector<const Record*>& found = matches(ctx, entry, table);
  const std::size_t first = page.begin(found.size());
  const std::size_t last = page.end(found.size());

  std::size_t size = 128;
  for (std::size_t i = first; i < last; ++i)
    size += found[i]->serialized().size() + 1;
  std::string out;
  out.reserve(size);
  out.append("{\"action\":\"").append(entry.action).append("Response\",\"");
  out.append(entry.set_key).append("\":[");
  std::string scratch;
  for (std::size_t i = first; i < last; ++i) {
    if (i > first) out += ',';
    out += serialize(*found[i], scratch);
  }
  out.append("],\"total_count\":").append(std::to_string(found.size()));
  out.append(",\"ret_code\":0}");
  return out;
}

Serializer bot_serializer(const Action_Context& ctx) {
  return ctx.params().integer_or("verbose", 0) >= 1 ? as_is : without_disk_figures;
}

}  // namespace

std::string describe_zones(Action_Context& ctx) {
  return describe(ctx, ZONES, ctx.inventory.zones);
}

std::string describe_users(Action_Context& ctx) {
  return describe(ctx, USERS, ctx.inventory.users);
}

std::string describe_access_keys(Action_Context& ctx) {
  return describe(ctx, ACCESS_KEYS, ctx.inventory.access_keys);
}

std::string describe_bots(Action_Context& ctx) {
  return describe(ctx, BOTS, ctx.zone->bots, bot_serializer(ctx));
}

std::string get_bots_basic_info(Action_Context& ctx) {
  return describe(ctx, BOTS_BASIC, ctx.zone->bots, bot_serializer(ctx));
}

std::string describe_instances(Action_Context& ctx) {
  return describe(ctx, INSTANCES, ctx.zone->instances);
}

std::string describe_vxnets(Action_Context& ctx) {
  return describe(ctx, VXNETS, ctx.zone->vxnets);
}

std::string describe_volumes(Action_Context& ctx) {
  return describe(ctx, VOLUMES, ctx.zone->volumes);
}

std::string describe_images(Action_Context& ctx) {
  return describe(ctx, IMAGES, ctx.zone->images);
}

std::string describe_snapshots(Action_Context& ctx) {
  return describe(ctx, SNAPSHOTS, ctx.zone->snapshots);
}

std::string describe_jobs(Action_Context& ctx) {
  return describe(ctx, JOBS, ctx.zone->jobs);
}

std::string get_lease_info(Action_Context& ctx) {
  const std::string id = ctx.params().required_text("resource");
  Zone& zone = *ctx.zone;
  const Record* resource = zone.instances.find(id);
  if (resource == nullptr) resource = zone.volumes.find(id);
  if (resource == nullptr) resource = zone.snapshots.find(id);
  if (resource == nullptr || !ctx.may_see(resource->owner()) || gone(*resource))
    throw resource_not_found(id);
  // The platform names the owner "user"; the client sends "owner".  Either,
  // when given, must be the resource's owner.
  for (const char* name : {"user", "owner"}) {
    const std::string owner = ctx.params().text_or(name, "");
    if (!owner.empty() && owner != resource->owner()) throw resource_not_found(id);
  }

  if (ctx.effects.hold_leases) {
    Lease held = lease_of(zone, *resource);
    held.never_active = true;
    zone.leases[id] = held;
  }
  const Lease lease = lease_of(zone, *resource);
  boost::json::object info{{"resource_id", id},
                           {"status", lease.active(ctx.now) ? "active" : "pending"},
                           {"zone_id", zone.id()},
                           {"renewal", "auto"},
                           {"lease_time", format_time(lease.start)}};
  if (lease.active(ctx.now)) {
    info["renewal_time"] = format_time(lease.active_at + 3600);
    info["contract"] = boost::json::object{{"contract_id", "ct-" + id.substr(id.find('-') + 1)},
                                           {"duration", "1h"},
                                           {"price", "0.01"},
                                           {"start_time", format_time(lease.active_at)}};
  }
  return reply_text("GetLeaseInfo", {{"lease_info", boost::json::serialize(info)},
                                     {"resource_id", string_text(id)}});
}

}  // namespace qingcloud_sim
