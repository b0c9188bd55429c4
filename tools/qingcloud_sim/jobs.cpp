#include "tools/qingcloud_sim/jobs.h"

#include "tools/qingcloud_sim/record_defaults.h"
#include "tools/qingcloud_sim/sim_clock.h"

namespace qingcloud_sim {
namespace {

using boost::json::array;
using boost::json::object;

std::string joined(const std::vector<std::string>& ids) {
  std::string out;
  for (const std::string& id : ids) {
    if (!out.empty()) out += ',';
    out += id;
  }
  return out;
}

void detach_volumes(Zone& zone, Record& instance, std::int64_t when) {
  const boost::json::object json = instance.json();
  const boost::json::value* ids = json.if_contains("volume_ids");
  if (ids != nullptr && ids->is_array()) {
    for (const boost::json::value& id : ids->get_array()) {
      if (!id.is_string()) continue;
      Record* volume = zone.volumes.find(id.get_string());
      if (volume == nullptr) continue;
      set_state(*volume, "available", "", when);
      volume->set("instance", object{{"instance_id", ""}, {"instance_name", ""}, {"device", ""}});
    }
  }
  instance.update([](object& o) {
    o["volume_ids"] = array();
    o["volumes"] = array();
  });
}

// What the resources of an ended job become.
void finish(Zone& zone, const Running_Job& job) {
  const bool ok = !job.fail;
  const std::int64_t t = job.done_at;
  for (const std::string& id : job.resource_ids) {
    const std::string& a = job.action;
    if (a == "CreateVolumes" || a == "DeleteVolumes") {
      Record* v = zone.volumes.find(id);
      if (v == nullptr) continue;
      if (a == "CreateVolumes") set_state(*v, ok ? "available" : "deleted", "", t);
      if (a == "DeleteVolumes") set_state(*v, ok ? "deleted" : nullptr, "", t);
      continue;
    }
    if (a == "CreateSnapshots") {
      if (Record* s = zone.snapshots.find(id)) set_state(*s, ok ? "available" : "deleted", "", t);
      continue;
    }
    Record* i = zone.instances.find(id);
    if (i == nullptr) continue;
    if (a == "StartInstances") {
      set_state(*i, ok ? "running" : nullptr, "", t);
    } else if (a == "StopInstances") {
      set_state(*i, ok ? "stopped" : nullptr, "", t);
    } else if (a == "TerminateInstances") {
      set_state(*i, ok ? (job.direct_cease ? "ceased" : "terminated") : nullptr, "", t);
      if (ok) detach_volumes(zone, *i, t);
    } else if (a == "MigrateInstances") {
      set_state(*i, nullptr, "", t);
      if (ok) i->set("host_machine", boost::json::string_view(job.target_host));
    } else if (a == "RunInstances") {
      set_state(*i, ok ? "running" : "ceased", "", t);
      if (!ok) detach_volumes(zone, *i, t);
    }
  }
}

void set_job_status(Record& job, const char* status, std::int64_t when) {
  job.update([&](object& json) {
    json["status"] = status;
    json["status_time"] = format_time(when);
  });
}

}  // namespace

void set_state(Record& record, const char* status, const char* transition, std::int64_t when) {
  record.update([&](object& json) {
    if (status != nullptr) json["status"] = status;
    json["transition_status"] = transition;
    json["status_time"] = format_time(when);
  });
}

std::string start_job(Action_Context& ctx, std::vector<std::string> resource_ids,
                      Running_Job effect) {
  Zone& zone = *ctx.zone;
  std::string job_id;
  do {
    job_id = ctx.state.new_id("j-");
  } while (zone.jobs.find(job_id) != nullptr);
  const std::string time = format_time(ctx.now);
  zone.jobs.add(make_job(object{{"job_id", job_id},
                                {"job_action", ctx.call.action},
                                {"owner", ctx.acting_owner()},
                                {"status", "pending"},
                                {"resource_ids", joined(resource_ids)},
                                {"create_time", time},
                                {"status_time", time}},
                         zone.id()));
  Running_Job job = std::move(effect);
  job.zone_id = zone.id();
  job.job_id = job_id;
  job.action = ctx.call.action;
  job.resource_ids = std::move(resource_ids);
  job.start = ctx.now;
  job.done_at = ctx.now + ctx.state.job_seconds;
  job.fail = ctx.effects.fail_jobs;
  ctx.state.running_jobs.push_back(std::move(job));
  ctx.state.changed();
  return job_id;
}

void settle_jobs(Inventory& inventory, Platform_State& state, std::int64_t now) {
  std::vector<Running_Job>& jobs = state.running_jobs;
  for (auto it = jobs.begin(); it != jobs.end();) {
    Zone* zone = inventory.zone(it->zone_id);
    Record* record = zone != nullptr ? zone->jobs.find(it->job_id) : nullptr;
    if (record == nullptr) {
      it = jobs.erase(it);
      continue;
    }
    if (now >= it->done_at) {
      finish(*zone, *it);
      set_job_status(*record, it->fail ? "failed" : "successful", it->done_at);
      if (it->fail) record->set("error_codes", "5000");
      it = jobs.erase(it);
      state.changed();
      continue;
    }
    const char* phase = now > it->start ? "working" : "pending";
    if (record->text("status") != phase) {
      set_job_status(*record, phase, now);
      state.changed();
    }
    ++it;
  }
}

void start_lease(Action_Context& ctx, const std::string& resource_id) {
  Lease lease;
  lease.resource_id = resource_id;
  lease.start = ctx.now;
  lease.active_at = ctx.now + ctx.state.lease_seconds;
  lease.never_active = ctx.effects.hold_leases;
  ctx.zone->leases[resource_id] = lease;
}

Lease lease_of(const Zone& zone, const Record& resource) {
  auto it = zone.leases.find(resource.id());
  if (it != zone.leases.end()) return it->second;
  Lease lease;
  lease.resource_id = resource.id();
  std::int64_t created = 0;
  parse_time(std::string(resource.text("create_time")), &created);
  lease.start = created;
  lease.active_at = created;
  return lease;
}

}  // namespace qingcloud_sim
