// Actions that create and delete volumes and take snapshots.
#include <string>
#include <vector>

#include "tools/qingcloud_sim/actions.h"
#include "tools/qingcloud_sim/jobs.h"
#include "tools/qingcloud_sim/record_defaults.h"
#include "tools/qingcloud_sim/shapes.h"
#include "tools/qingcloud_sim/sim_clock.h"

namespace qingcloud_sim {
namespace {

using boost::json::object;

std::int64_t count_of(const Action_Context& ctx) {
  const std::int64_t count = ctx.params().integer_or("count", 1);
  if (count < 1 || count > 100) throw invalid_parameter("count", "should be 1 to 100");
  return count;
}

template <typename Table>
std::string fresh_id(Action_Context& ctx, const char* prefix, const Table& table) {
  std::string id;
  do {
    id = ctx.state.new_id(prefix);
  } while (table.find(id) != nullptr);
  return id;
}

}  // namespace

std::string create_volumes(Action_Context& ctx) {
  const Params& p = ctx.params();
  const std::optional<std::int64_t> size = p.integer("size");
  if (!size) throw missing_parameter("size");
  const std::int64_t type = p.integer_or("volume_type", 0);
  check_volume(type, *size);
  const std::string repl = p.text_or("repl", "rpp-00000002");
  if (repl != "rpp-00000001" && repl != "rpp-00000002")
    throw invalid_parameter("repl", "should be rpp-00000001 or rpp-00000002");
  const std::int64_t count = count_of(ctx);

  Zone& zone = *ctx.zone;
  const std::string time = format_time(ctx.now);
  std::vector<std::string> ids;
  for (std::int64_t n = 0; n < count; ++n) {
    std::string id = fresh_id(ctx, "vol-", zone.volumes);
    zone.volumes.add(make_volume(object{{"volume_id", id},
                                        {"volume_name", p.text_or("volume_name", "")},
                                        {"owner", ctx.acting_owner()},
                                        {"size", *size},
                                        {"volume_type", type},
                                        {"repl", repl},
                                        {"status", "pending"},
                                        {"transition_status", "creating"},
                                        {"create_time", time},
                                        {"status_time", time}},
                                 zone.id()));
    start_lease(ctx, id);
    ids.push_back(std::move(id));
  }
  const std::string job_id = start_job(ctx, ids);
  return reply_text("CreateVolumes",
                    {{"volumes", id_list_text(ids)}, {"job_id", string_text(job_id)}});
}

std::string delete_volumes(Action_Context& ctx) {
  const std::vector<std::string> ids = ctx.params().list("volumes");
  if (ids.empty()) throw missing_parameter("volumes");
  std::vector<Record*> volumes;
  for (const std::string& id : ids) {
    Record& volume = ctx.volume(id);
    if (!lease_of(*ctx.zone, volume).active(ctx.now)) throw lease_not_ready(id);
    require_state(volume, "volume", {"available"}, "deleted");
    volumes.push_back(&volume);
  }
  for (Record* volume : volumes)
    set_state(*volume, nullptr, "deleting", ctx.now);
  return reply_text("DeleteVolumes", {{"job_id", string_text(start_job(ctx, ids))}});
}

std::string create_snapshots(Action_Context& ctx) {
  const Params& p = ctx.params();
  const std::vector<std::string> resources = p.list("resources");
  if (resources.empty()) throw missing_parameter("resources");
  const std::int64_t is_full = p.integer_or("is_full", 0);
  const std::int64_t in_place = p.integer_or("is_in_place", 0);
  if ((is_full != 0 && is_full != 1) || (in_place != 0 && in_place != 1))
    throw parameter_error("is_full and is_in_place should be 0 or 1");
  const int type = in_place == 1 ? 2 : static_cast<int>(is_full);

  Zone& zone = *ctx.zone;
  std::vector<object> taken_of;
  for (const std::string& id : resources) {
    const bool volume = id.rfind("vol-", 0) == 0;
    const Record& r = volume ? ctx.volume(id) : ctx.instance(id);
    if (volume)
      require_state(r, "volume", {"available", "in-use"}, "snapshotted");
    else
      require_state(r, "instance", {"running", "stopped", "suspended"}, "snapshotted");
    const boost::json::object json = r.json();
    const boost::json::value& size =
        volume ? json.at("size") : json.at("extra").as_object().at("os_disk_size");
    taken_of.push_back(object{{"resource_id", id},
                              {"resource_name", json.at(volume ? "volume_name" : "instance_name")},
                              {"resource_type", volume ? "volume" : "instance"},
                              {"size", size}});
  }

  const std::string time = format_time(ctx.now);
  std::vector<std::string> ids;
  for (object& resource : taken_of) {
    std::string id = fresh_id(ctx, "ss-", zone.snapshots);
    const boost::json::value size = resource.at("size");
    resource.erase("size");
    zone.snapshots.add(make_snapshot(object{{"snapshot_id", id},
                                            {"snapshot_name", p.text_or("snapshot_name", "")},
                                            {"owner", ctx.acting_owner()},
                                            {"snapshot_type", type},
                                            {"status", "pending"},
                                            {"transition_status", "creating"},
                                            {"size", size},
                                            {"resource", std::move(resource)},
                                            {"create_time", time},
                                            {"status_time", time}},
                                     zone.id()));
    start_lease(ctx, id);
    ids.push_back(std::move(id));
  }
  const std::string job_id = start_job(ctx, ids);
  return reply_text("CreateSnapshots",
                    {{"snapshots", id_list_text(ids)}, {"job_id", string_text(job_id)}});
}

}  // namespace qingcloud_sim
