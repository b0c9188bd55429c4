// Actions that run, start, stop, terminate and move instances.
#include <optional>
#include <string>
#include <vector>

#include <boost/json/serialize.hpp>

#include "tools/qingcloud_sim/actions.h"
#include "tools/qingcloud_sim/jobs.h"
#include "tools/qingcloud_sim/record_defaults.h"
#include "tools/qingcloud_sim/shapes.h"
#include "tools/qingcloud_sim/sim_clock.h"

namespace qingcloud_sim {
namespace {

using boost::json::array;
using boost::json::object;

std::int64_t flag(const Action_Context& ctx, const char* name) {
  const std::int64_t value = ctx.params().integer_or(name, 0);
  if (value != 0 && value != 1) throw invalid_parameter(name, "should be 0 or 1");
  return value;
}

std::vector<std::string> required_list(const Action_Context& ctx, const char* name) {
  std::vector<std::string> ids = ctx.params().list(name);
  if (ids.empty()) throw missing_parameter(name);
  return ids;
}

// Every instance, found and visible, in one of `allowed` states and not busy.
std::vector<Record*> instances_in_state(const Action_Context& ctx,
                                        const std::vector<std::string>& ids,
                                        std::initializer_list<const char*> allowed,
                                        const char* verb) {
  std::vector<Record*> found;
  for (const std::string& id : ids)
    found.push_back(&ctx.instance(id));
  for (const Record* r : found)
    require_state(*r, "instance", allowed, verb);
  return found;
}

std::string job_reply(Action_Context& ctx, const std::string& job_id) {
  return reply_text(ctx.call.action, {{"job_id", string_text(job_id)}});
}

std::string change_instances(Action_Context& ctx, std::initializer_list<const char*> allowed,
                             const char* verb, const char* transition,
                             Running_Job effect = Running_Job()) {
  const std::vector<std::string> ids = required_list(ctx, "instances");
  for (Record* r : instances_in_state(ctx, ids, allowed, verb))
    set_state(*r, nullptr, transition, ctx.now);
  return job_reply(ctx, start_job(ctx, ids, std::move(effect)));
}

void check_password(const std::string& password) {
  bool upper = false, lower = false, digit = false;
  for (char c : password) {
    upper = upper || (c >= 'A' && c <= 'Z');
    lower = lower || (c >= 'a' && c <= 'z');
    digit = digit || (c >= '0' && c <= '9');
  }
  if (password.size() < 8 || password.size() > 32 || !upper || !lower || !digit)
    throw invalid_parameter("login_passwd",
                            "should be 8 to 32 characters with upper-case and lower-case "
                            "letters and digits");
}

void check_login(const Action_Context& ctx) {
  const std::string mode = ctx.params().required_text("login_mode");
  if (mode == "passwd") {
    check_password(ctx.params().required_text("login_passwd"));
  } else if (mode == "keypair") {
    ctx.params().required_text("login_keypair");
  } else {
    throw invalid_parameter("login_mode", "should be passwd or keypair");
  }
}

// The active physical host that gets the next new instance.
const Record& pick_host(Action_Context& ctx) {
  std::vector<const Record*> active;
  for (const Record& bot : ctx.zone->bots)
    if (bot.text("status") == "active") active.push_back(&bot);
  if (active.empty())
    throw Api_Error(RET_INTERNAL_ERROR, "InternalError, no physical host is available in zone [" +
                                            ctx.zone->id() + "]");
  std::size_t placed = ctx.zone->instances.size();
  return *active[placed % active.size()];
}

object nic_of(const Record& vxnet, std::size_t n) {
  return object{{"vxnet_id", vxnet.id()},
                {"vxnet_name", vxnet.text("vxnet_name")},
                {"vxnet_type", vxnet.integer("vxnet_type")},
                {"nic_id", "52:54:9e:" + std::to_string(10 + n % 90) + ":6b:01"},
                {"private_ip", "192.168.20." + std::to_string(2 + n % 250)},
                {"role", 1},
                {"ipv6_address", ""}};
}

}  // namespace

std::string run_instances(Action_Context& ctx) {
  const Params& p = ctx.params();
  Zone& zone = *ctx.zone;
  const std::string image_id = p.required_text("image_id");
  const Record* image = zone.images.find(image_id);
  if (image == nullptr || !ctx.may_see(image->owner(), true)) throw resource_not_found(image_id);
  if (image->text("status") != "available")
    throw permission_denied("image [" + image_id + "] is not available");

  // A value that is sent counts, 0 included; the type fills in only what is not.
  const std::string type_name = p.text_or("instance_type", "");
  std::optional<Instance_Type> type;
  if (!type_name.empty()) {
    type = find_instance_type(type_name);
    if (!type) throw invalid_parameter("instance_type", "is not a known instance type");
  }
  const std::optional<std::int64_t> sent_cpu = p.integer("cpu");
  if (!sent_cpu && !type) throw missing_parameter("cpu");
  const std::int64_t cpu = sent_cpu ? *sent_cpu : type->cpu;
  check_cpu(cpu);
  const std::optional<std::int64_t> sent_memory = p.integer("memory");
  if (!sent_memory && !type) throw missing_parameter("memory");
  const std::int64_t memory = sent_memory ? *sent_memory : type->memory;
  check_memory(memory);
  const bool windows = image->text("platform") == "windows";
  const std::int64_t os_disk = p.integer_or("os_disk_size", default_os_disk_size(windows));
  check_os_disk_size(os_disk, windows);
  const std::int64_t instance_class =
      p.integer_or("instance_class", type ? type->instance_class : DEFAULT_INSTANCE_CLASS);
  if (instance_class < 0) throw invalid_parameter("instance_class", "should not be negative");
  const std::int64_t count = p.integer_or("count", 1);
  if (count < 1 || count > 100) throw invalid_parameter("count", "should be 1 to 100");
  check_login(ctx);

  array nics;
  for (const std::string& id : p.list("vxnets")) {
    const Record* vxnet = zone.vxnets.find(id);
    if (vxnet == nullptr || !ctx.may_see(vxnet->owner(), true)) throw resource_not_found(id);
    nics.push_back(nic_of(*vxnet, zone.instances.size()));
  }
  std::vector<Record*> volumes;
  for (const std::string& id : p.list("volumes")) {
    Record& volume = ctx.volume(id);
    require_state(volume, "volume", {"available"}, "attached");
    volumes.push_back(&volume);
  }
  if (!volumes.empty() && count > 1)
    throw parameter_error("volumes can be attached only when count is 1");

  const std::string owner = ctx.acting_owner();
  const std::string time = format_time(ctx.now);
  std::vector<std::string> ids;
  for (std::int64_t n = 0; n < count; ++n) {
    std::string id;
    do {
      id = ctx.state.new_id("i-");
    } while (zone.instances.find(id) != nullptr);
    const std::string& name = p.text_or("instance_name", "");
    object fields{
        {"instance_id", id},
        {"instance_name", name},
        {"owner", owner},
        {"status", "pending"},
        {"transition_status", "creating"},
        {"host_machine", pick_host(ctx).id()},
        {"controller", "self"},
        {"instance_type",
         type ? type_name : "c" + std::to_string(cpu) + "m" + std::to_string(memory / 1024)},
        {"vcpus_current", cpu},
        {"memory_current", memory},
        {"instance_class", instance_class},
        {"cpu_topology", p.text_or("cpu_topology", "")},
        {"platform", windows ? "windows" : "linux"},
        {"image", image_summary(*image)},
        {"extra", object{{"cpu_model", p.text_or("cpu_model", "")}, {"os_disk_size", os_disk}}},
        {"vxnets", nics},
        {"create_time", time},
        {"status_time", time}};
    zone.instances.add(make_instance(std::move(fields), zone.id()));
    Record& instance = *zone.instances.find(id);
    for (std::size_t v = 0; v < volumes.size(); ++v) {
      Record* volume = volumes[v];
      const std::string device = "/dev/vd" + std::string(1, static_cast<char>('b' + v));
      set_state(*volume, "in-use", "", ctx.now);
      volume->set("instance",
                  object{{"instance_id", id}, {"instance_name", name}, {"device", device}});
      instance.update([&](object& json) {
        json["volume_ids"].as_array().push_back(boost::json::string(volume->id()));
        json["volumes"].as_array().push_back(object{{"volume_id", volume->id()},
                                                    {"volume_name", volume->text("volume_name")},
                                                    {"size", volume->integer("size")},
                                                    {"device", device}});
      });
    }
    start_lease(ctx, id);
    ids.push_back(std::move(id));
  }
  const std::string job_id = start_job(ctx, ids);
  return reply_text("RunInstances",
                    {{"instances", id_list_text(ids)}, {"job_id", string_text(job_id)}});
}

std::string start_instances(Action_Context& ctx) {
  return change_instances(ctx, {"stopped"}, "started", "starting");
}

std::string stop_instances(Action_Context& ctx) {
  flag(ctx, "force");
  return change_instances(ctx, {"running"}, "stopped", "stopping");
}

std::string terminate_instances(Action_Context& ctx) {
  Running_Job effect;
  effect.direct_cease = flag(ctx, "direct_cease") == 1;
  for (const std::string& id : required_list(ctx, "instances")) {
    const Record& instance = ctx.instance(id);
    if (!lease_of(*ctx.zone, instance).active(ctx.now)) throw lease_not_ready(id);
  }
  return change_instances(ctx, {"running", "stopped", "suspended"}, "terminated", "terminating",
                          std::move(effect));
}

std::string migrate_instances(Action_Context& ctx) {
  const std::vector<std::string> ids = required_list(ctx, "instances");
  const std::string target = ctx.params().required_text("target_host");
  const Record* host = ctx.zone->bots.find(target);
  if (host == nullptr) throw resource_not_found(target);
  if (host->text("status") != "active")
    throw permission_denied("host [" + target +
                            "] is not active\xEF\xBC\x8C can not take instances");
  for (const std::string& id : ids) {
    if (ctx.instance(id).text("host_machine") == target)
      throw permission_denied("instance [" + id + "] is already on host [" + target + "]");
  }
  Running_Job effect;
  effect.target_host = target;
  return change_instances(ctx, {"running", "stopped"}, "migrated", "migrating", std::move(effect));
}

}  // namespace qingcloud_sim
