// qingcloud-agent client: one operation of the library's back-office or
// infrastructure client per run, for operators.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>

#include "api/api_error.h"
#include "api/boss2_client.h"
#include "api/iaas_client.h"
#include "host/json_spirit/reader.h"
#include "host/json_spirit/writer.h"
#include "tools/agent/call_args.h"
#include "tools/agent/call_command.h"
#include "tools/agent/client_args.h"
#include "tools/agent/client_records.h"
#include "tools/agent/command_entry.h"
#include "tools/agent/commands.h"
#include "tools/agent/common_options.h"
#include "tools/agent/files.h"
#include "tools/agent/log_lines.h"
#include "tools/agent/proxy_choice.h"
#include "tools/agent/terminal_text.h"

namespace {

using qingcloud::BOSS2_Client;
using qingcloud::Common_Client;
using qingcloud::IAAS_Client;

// A profile file larger than this is not a profile.
constexpr std::size_t MAX_PROFILE_FILE = 64 * 1024;

int fail(int code, const std::string& line) {
  return command_fail("client", code, line);
}

// Why the last call of `client` failed, in one line.
std::string failure_line(const Common_Client& client, const Log_Lines& lines) {
  return ::failure_line(client.err_code(), client.api_err_msg(), lines);
}

// The smallest instance the platform offers.
qingcloud::Instance_Profile smallest_instance() {
  qingcloud::Instance_Profile p;
  p.cpu = 1;
  p.memory = 1024;  // MiB
  p.os_disk_size = std::uint64_t(20) << 30;
  return p;
}

template <class Profile>
bool read_profile(const std::string& path, Profile& profile, std::string& error) {
  secure_string text;
  if (!read_file(path, text, MAX_PROFILE_FILE, PUBLIC_FILE, error, nullptr, "profile"))
    return false;
  json_spirit::Value json;
  std::string why;
  if (!json_spirit::read({text.data(), text.size()}, json, &why)) {
    error = "profile " + path + " is not JSON (" + why + ")";
    return false;
  }
  Log_Lines quiet;
  if (!profile.load(json)) {
    error = "profile " + path + " is not a JSON object";
    return false;
  }
  return true;
}

// The describe operation that tells whether a change whose outcome is
// unknown was carried out.
const char* where_to_check(Client_Op op) {
  switch (op) {
    case Client_Op::CREATE_VOLUME:
    case Client_Op::DELETE_VOLUMES:
      return "describe-volumes";
    case Client_Op::CREATE_SNAPSHOTS:
      return "describe-snapshots";
    default:
      return "describe-instances";
  }
}

std::string joined(const std::set<std::string>& names) {
  std::string text;
  for (const std::string& n : names)
    text += (text.empty() ? "" : ", ") + n;
  return text.empty() ? "none" : text;
}

// One line of output; what the platform sent is escaped by the caller.
void print_line(const std::string& text) {
  std::fputs(text.c_str(), stdout);
  std::fputc('\n', stdout);
}

// Runs the chosen operation with logged-in clients and prints what it gave
// on success.
class Operation_Run {
 public:
  Operation_Run(const Client_Options& o, BOSS2_Client& boss, IAAS_Client* iaas,
                const qingcloud::Instance_Profile& instance_profile,
                const qingcloud::Volume_Profile& volume_profile)
      : o_(o),
        w_(o.words),
        boss_(boss),
        iaas_(iaas),
        client_(iaas ? static_cast<Common_Client&>(*iaas) : boss),
        instance_profile_(instance_profile),
        volume_profile_(volume_profile),
        job_(o.has("--no-wait") ? &job_id_ : nullptr) {}

  bool run() {
    using Op = Client_Op;
    switch (o_.operation->op) {
      case Op::DESCRIBE_USERS: {
        qingcloud::Users users;
        return records(boss_.describe_users(users), users);
      }
      case Op::DESCRIBE_ACCESS_KEYS: {
        qingcloud::Access_Keys keys;
        return records(boss_.describe_access_keys(w_.front(), keys), keys);
      }
      case Op::DESCRIBE_BOTS: {
        qingcloud::Hosts hosts;
        return records(
            w_.empty() ? boss_.describe_bots(hosts) : boss_.describe_bots_by_ids(w_, hosts), hosts);
      }
      case Op::DESCRIBE_INSTANCES:
        return describe_instances();
      case Op::DESCRIBE_VXNETS: {
        qingcloud::Vxnets vxnets;
        return records(
            w_.empty() ? boss_.describe_vxnets(vxnets) : boss_.describe_vxnets_by_ids(w_, vxnets),
            vxnets);
      }
      case Op::DESCRIBE_VOLUMES: {
        qingcloud::Volumes volumes;
        return records(boss_.describe_volumes_by_ids(w_, volumes), volumes);
      }
      case Op::DESCRIBE_IMAGES:
        return describe_images();
      case Op::MIGRATE_INSTANCES:
        return job_started(boss_.migrate_instances(w_, o_.value("--target-host"), job_));
      case Op::RUN_INSTANCE:
        return run_instance();
      case Op::START_INSTANCE:
        return job_started(iaas_->start_instance(w_.front(), job_));
      case Op::STOP_INSTANCE:
        return job_started(iaas_->stop_instance(w_.front(), o_.has("--force"), job_));
      case Op::TERMINATE_INSTANCE:
        return job_started(iaas_->terminate_instance(w_.front(), o_.has("--direct-cease"), job_));
      case Op::CREATE_VOLUME: {
        std::string id;
        if (!iaas_->create_volume(o_.value("--name"), volume_profile_, id, job_)) return false;
        print_line(printable(id));
        return job_started(true);
      }
      case Op::DELETE_VOLUMES:
        return job_started(iaas_->delete_volumes(w_, job_));
      case Op::DESCRIBE_SNAPSHOTS: {
        qingcloud::Snapshots snapshots;
        return records(iaas_->describe_snapshots_by_ids(w_, snapshots), snapshots);
      }
      case Op::CREATE_SNAPSHOTS: {
        std::vector<std::string> ids;
        if (!iaas_->create_snapshots(o_.value("--name"), w_, ids, job_)) return false;
        for (const std::string& id : ids)
          print_line(printable(id));
        return job_started(true);
      }
      case Op::WAIT_LEASE:
        return iaas_->poll_lease(w_.front());
    }
    return false;
  }

 private:
  template <class Records>
  bool records(bool ok, const Records& loaded) {
    if (ok)
      print_line(printable_json(
          json_spirit::JSON_Dump(json_spirit::Value(records_json(loaded)), true).str()));
    return ok;
  }

  // With --no-wait the job id goes last.
  bool job_started(bool ok) {
    if (ok && job_) print_line(printable(job_id_));
    return ok;
  }

  bool describe_instances() {
    qingcloud::Instances instances;
    bool ok;
    if (o_.values.count("--host-machine")) {
      ok = boss_.describe_instances_by_host(o_.value("--host-machine"), instances);
    } else if (o_.values.count("--search")) {
      ok = boss_.search_instances(o_.value("--search"), instances);
    } else if (!w_.empty()) {
      ok = boss_.describe_instances_by_ids(w_, instances);
    } else {
      ok = boss_.describe_instances(instances);
    }
    return records(ok, instances);
  }

  bool describe_images() {
    qingcloud::Images images;
    bool ok;
    if (o_.values.count("--search")) {
      ok = client_.search_images(o_.value("--search"), images);
    } else if (!w_.empty()) {
      ok = client_.describe_images_by_ids(w_, images);
    } else {
      json_spirit::Object params{{"status", json_spirit::Array{"available"}}};
      ok = client_.describe_images(params, images);
    }
    return records(ok, images);
  }

  // A failed call may still leave an instance that the platform goes on
  // building: what is known of it (its id, and its password when asked for)
  // is printed before the error line.
  bool run_instance() {
    const bool show = o_.has("--show-password");
    std::string id;
    secure_string password;
    const bool ok = iaas_->run_instance(o_.value("--name"), o_.value("--image"), instance_profile_,
                                        o_.all("--volume"), o_.all("--vxnet"), id, job_,
                                        show ? &password : nullptr);
    if (!id.empty()) print_line(printable(id));
    if (!password.empty()) {
      std::fwrite(password.data(), 1, password.size(), stdout);
      std::fputc('\n', stdout);
      // Out of this process's buffer as soon as possible.
      std::fflush(stdout);
    }
    return job_started(ok);
  }

  const Client_Options& o_;
  const std::vector<std::string>& w_;
  BOSS2_Client& boss_;
  IAAS_Client* iaas_;
  Common_Client& client_;
  const qingcloud::Instance_Profile& instance_profile_;
  const qingcloud::Volume_Profile& volume_profile_;
  std::string job_id_;
  std::string* job_;
};

int client(Command_Context& c) {
  Client_Options o;
  std::string error;
  if (!parse_client_args(c.args, o, error)) return c.usage_error(error);
  Connection& conn = o.connection;
  secure_string secret;
  if (!load_secret(conn.secret_file, std::getenv, secret, error))
    return fail(EXIT_BAD_USAGE, error);
  // The sessions trust the host-wide CA file, as the agent's own do.
  if (!use_ca_file(conn.ca_file, error) || !choose_proxy(conn.proxy, nullptr, error))
    return fail(EXIT_BAD_USAGE, error);

  // Profiles are read before anything is sent, so a bad file costs no call.
  qingcloud::Instance_Profile instance_profile = smallest_instance();
  qingcloud::Volume_Profile volume_profile;
  const std::string profile = o.value("--profile");
  if (!profile.empty()) {
    bool ok;
    if (o.operation->op == Client_Op::RUN_INSTANCE) {
      // The file says the whole profile: a default CPU count would win over
      // the file's instance type.
      instance_profile = qingcloud::Instance_Profile();
      ok = read_profile(profile, instance_profile, error);
    } else {
      ok = read_profile(profile, volume_profile, error);
    }
    if (!ok) return fail(EXIT_BAD_USAGE, error);
  }

  const std::string where = conn.host + ":" + std::to_string(conn.port);
  BOSS2_Client boss(o.version, o.api_host);
  {
    Log_Lines lines;
    if (!boss.login(conn.host, conn.port, conn.ssl, std::move(conn.access_key_id),
                    std::move(secret)))
      return fail(EXIT_FAILED, "cannot log in to " + where + ": " + failure_line(boss, lines));
  }
  qingcloud::IAAS_Client_ptr iaas;
  if (!o.as_user.empty()) {
    Log_Lines lines;
    iaas = boss.iaas_client(o.as_user);
    if (!iaas)
      return fail(EXIT_FAILED, "cannot act as " + o.as_user + ": " + failure_line(boss, lines));
  }
  Common_Client& used = iaas ? static_cast<Common_Client&>(*iaas) : boss;
  if (!o.zone.empty() && !used.switch_zone(o.zone))
    return fail(EXIT_BAD_USAGE,
                "unknown zone '" + o.zone + "'; the platform has " + joined(used.zones()));

  Log_Lines lines;
  Operation_Run run(o, boss, iaas.get(), instance_profile, volume_profile);
  if (!run.run()) {
    const std::string why = failure_line(used, lines);
    // Never sent again: whether the platform carried it out is for the
    // operator to find out before trying again.
    if (used.outcome_unknown())
      return fail(EXIT_FAILED, std::string(o.operation->name) +
                                   ": the outcome is unknown, the platform may have carried it "
                                   "out (" +
                                   why + "); check with `qingcloud-agent client " +
                                   where_to_check(o.operation->op) + "` before trying again");
    return fail(EXIT_FAILED, std::string(o.operation->name) + ": " + why);
  }
  return EXIT_OK;
}

std::vector<std::string> client_options(bool flags) {
  std::vector<std::string> options, flag_names;
  client_option_names(options, flag_names);
  return flags ? flag_names : options;
}

}  // namespace

const Command_Entry CLIENT_COMMAND = {"client",
                                      "run one operation of the platform's clients",
                                      client_usage(),
                                      client_usage_tail(),
                                      client_options(false),
                                      client_options(true),
                                      CONNECTION_OPTIONS,
                                      Needs::NOTHING,
                                      false,
                                      client};
