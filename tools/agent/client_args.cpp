#include "tools/agent/client_args.h"

#include <algorithm>
#include <cstdlib>

#include "tools/agent/arg_reader.h"
#include "tools/agent/call_args.h"

namespace {

constexpr std::size_t ANY = static_cast<std::size_t>(-1);

// Besides the connection's, which every command that calls the platform takes.
const std::vector<std::string> CLIENT_OPTIONS = {"--api-host", "--version", "--zone", "--as-user"};

bool listed(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

// Every option and flag that some operation takes, each once.
void operation_names(std::vector<std::string>& options, std::vector<std::string>& flags) {
  flags.push_back("--no-wait");
  for (const Client_Operation& op : client_operations()) {
    for (const std::string& o : op.options)
      if (!listed(options, o)) options.push_back(o);
    for (const std::string& f : op.flags)
      if (!listed(flags, f)) flags.push_back(f);
  }
}

const Client_Operation* find_operation(const std::string& name) {
  for (const Client_Operation& op : client_operations())
    if (name == op.name) return &op;
  return nullptr;
}

// The checks that need the operation: its options, its client, its zone
// and its words.
bool check_operation(const Client_Options& o, const std::vector<std::string>& op_options,
                     const std::vector<std::string>& op_flags, std::string& error) {
  const Client_Operation& op = *o.operation;
  const std::string name = op.name;
  for (const std::string& option : op_options) {
    if (o.values.count(option) != 0 && !listed(op.options, option)) {
      error = option + " does not go with " + name;
      return false;
    }
  }
  for (const std::string& flag : op_flags) {
    const bool allowed = listed(op.flags, flag) || (flag == "--no-wait" && op.job);
    if (o.has(flag) && !allowed) {
      error = flag + " does not go with " + name;
      return false;
    }
  }
  if (op.scope == Client_Scope::BOSS && !o.as_user.empty()) {
    error = name + " is a back-office operation; leave out --as-user";
    return false;
  }
  if (op.scope == Client_Scope::USER && o.as_user.empty()) {
    error = name + " acts for a user; give --as-user USER_ID";
    return false;
  }
  if (op.zone && o.zone.empty()) {
    error = "--zone is missing: " + name + " works in one zone";
    return false;
  }
  for (const std::string& option : op.required) {
    if (o.values.count(option) == 0) {
      error = name + " needs " + option;
      return false;
    }
  }
  if (op.exclusive) {
    int kinds = o.words.empty() ? 0 : 1;
    for (const std::string& option : op.options)
      kinds += o.values.count(option) != 0 ? 1 : 0;
    if (kinds > 1) {
      error = name + " takes one of " + op.synopsis;
      return false;
    }
  }
  if (o.words.size() < op.min_words || o.words.size() > op.max_words) {
    error = o.words.size() < op.min_words ? name + " is missing arguments"
                                          : "too many arguments for " + name;
    error += " (" + name + " " + op.synopsis + ")";
    return false;
  }
  return true;
}

// Builds the table's entries one property at a time.  Jobs are followed in
// a zone, so every job works in one.
class Def {
 public:
  Def(Client_Op op, const char* name, Client_Scope scope, const char* synopsis,
      const char* summary) {
    d_.op = op;
    d_.name = name;
    d_.scope = scope;
    d_.synopsis = synopsis;
    d_.summary = summary;
  }
  Def& zoned() {
    d_.zone = true;
    return *this;
  }
  Def& job() {
    d_.job = true;
    return zoned();
  }
  Def& options(std::vector<std::string> names) {
    d_.options = std::move(names);
    return *this;
  }
  Def& flags(std::vector<std::string> names) {
    d_.flags = std::move(names);
    return *this;
  }
  Def& required(std::vector<std::string> names) {
    d_.required = std::move(names);
    return *this;
  }
  Def& words(std::size_t min, std::size_t max) {
    d_.min_words = min;
    d_.max_words = max;
    return *this;
  }
  Def& exclusive() {
    d_.exclusive = true;
    return *this;
  }
  operator Client_Operation() const { return d_; }

 private:
  Client_Operation d_;
};

}  // namespace

const std::vector<Client_Operation>& client_operations() {
  using O = Client_Op;
  using S = Client_Scope;
  static const std::vector<Client_Operation> OPERATIONS = {
      Def(O::DESCRIBE_USERS, "describe-users", S::BOSS, "", "the active users"),
      Def(O::DESCRIBE_ACCESS_KEYS, "describe-access-keys", S::BOSS, "USER_ID",
          "the active access keys of a user, their secrets masked")
          .words(1, 1),
      Def(O::DESCRIBE_BOTS, "describe-bots", S::BOSS, "[HOST_IDS...]",
          "the active physical hosts, or these hosts with their disk figures")
          .zoned()
          .words(0, ANY),
      Def(O::DESCRIBE_INSTANCES, "describe-instances", S::BOSS,
          "[--host-machine H | --search W | IDS...]",
          "running and stopped instances under their users' control")
          .zoned()
          .options({"--host-machine", "--search"})
          .words(0, ANY)
          .exclusive(),
      Def(O::DESCRIBE_VXNETS, "describe-vxnets", S::BOSS, "[IDS...]",
          "the networks, without vxnet-0 and vxnet-1")
          .zoned()
          .words(0, ANY),
      Def(O::DESCRIBE_VOLUMES, "describe-volumes", S::BOSS, "IDS...",
          "these volumes when in use or available")
          .zoned()
          .words(1, ANY),
      Def(O::DESCRIBE_IMAGES, "describe-images", S::EITHER, "[IDS... | --search W]",
          "the available images")
          .zoned()
          .options({"--search"})
          .words(0, ANY)
          .exclusive(),
      Def(O::MIGRATE_INSTANCES, "migrate-instances", S::BOSS, "--target-host H IDS...",
          "move instances to the physical host H")
          .job()
          .options({"--target-host"})
          .required({"--target-host"})
          .words(1, ANY),
      Def(O::RUN_INSTANCE, "run-instance", S::USER,
          "--image IMAGE [--name N] [--profile FILE.json] [--volume ID]... [--vxnet ID]...",
          "run one instance and print its id (default profile: 1 CPU, 1024 MiB, 20 GiB)")
          .job()
          .options({"--image", "--name", "--profile", "--volume", "--vxnet"})
          .flags({"--show-password"})
          .required({"--image"}),
      Def(O::START_INSTANCE, "start-instance", S::USER, "ID", "start a stopped instance")
          .job()
          .words(1, 1),
      Def(O::STOP_INSTANCE, "stop-instance", S::USER, "ID [--force]", "stop a running instance")
          .job()
          .flags({"--force"})
          .words(1, 1),
      Def(O::TERMINATE_INSTANCE, "terminate-instance", S::USER, "ID [--direct-cease]",
          "terminate an instance, at once with --direct-cease")
          .job()
          .flags({"--direct-cease"})
          .words(1, 1),
      Def(O::CREATE_VOLUME, "create-volume", S::USER, "--name N --profile FILE.json",
          "create one volume and print its id")
          .job()
          .options({"--name", "--profile"})
          .required({"--name", "--profile"}),
      Def(O::DELETE_VOLUMES, "delete-volumes", S::USER, "IDS...", "delete available volumes")
          .job()
          .words(1, ANY),
      Def(O::DESCRIBE_SNAPSHOTS, "describe-snapshots", S::USER, "[IDS...]", "the user's snapshots")
          .zoned()
          .words(0, ANY),
      Def(O::CREATE_SNAPSHOTS, "create-snapshots", S::USER, "--name N RESOURCE_IDS...",
          "snapshot instances or volumes and print the new ids")
          .job()
          .options({"--name"})
          .required({"--name"})
          .words(1, ANY),
      Def(O::WAIT_LEASE, "wait-lease", S::USER, "RESOURCE_ID",
          "wait until the lease of a new resource is active")
          .zoned()
          .words(1, 1),
  };
  return OPERATIONS;
}

bool Client_Options::has(const std::string& flag) const {
  return listed(flags, flag);
}

std::string Client_Options::value(const std::string& option) const {
  auto it = values.find(option);
  return it == values.end() || it->second.empty() ? std::string() : it->second.back();
}

std::vector<std::string> Client_Options::all(const std::string& option) const {
  auto it = values.find(option);
  return it == values.end() ? std::vector<std::string>() : it->second;
}

std::string client_usage() {
  return "usage: qingcloud-agent client --host H [--port P] [--no-ssl] [--ca-file F] [--proxy "
         "URL]\n"
         "           --access-key-id K [--secret-file F] [--api-host H2] [--version V]\n"
         "           [--zone Z] [--as-user USER_ID] OPERATION [ARGS...]\n"
         "Runs one operation of the back-office client (at --host, with the back office's\n"
         "key), or with --as-user of that user's infrastructure client. Describe\n"
         "operations print the records they load as one JSON array (sizes in bytes,\n"
         "secrets masked); creations print the new ids, one a line. Exit codes: 0 done,\n"
         "1 the platform or the connection failed, 2 unusable arguments.\n\n"
         "options:\n"
         "  --api-host H2       the infrastructure API host, where --as-user logs in\n"
         "                      (default: H)\n"
         "  --version V         the API version (default 5.1.1)\n"
         "  --zone Z            the zone to work in; every operation but describe-users and\n"
         "                      describe-access-keys needs one\n"
         "  --as-user USER_ID   act as this user, with one of the user's own keys\n"
         "  --no-wait           (operations marked +) do not wait for the job; print its id\n"
         "                      at once, after the new ids of a creation\n"
         "  --show-password     (run-instance) print the new instance's password after its id\n"
         "  --name N, --image I, --volume V, --vxnet X, --profile F, --target-host H,\n"
         "  --host-machine H, --search TEXT, --force, --direct-cease\n"
         "                      what an operation takes, as its line below shows\n";
}

std::string client_usage_tail() {
  std::string text =
      "\nProfile files are JSON objects. An instance's: instance_type, cpu_model,\n"
      "cpu_topology, cpu, memory (MiB), os_disk_size (bytes), instance_class; numbers\n"
      "left out are sent as 0. A volume's: volume_type, size (bytes), repl.\n";
  auto group = [&text](const char* title, Client_Scope scope) {
    text += std::string("\n") + title + "\n";
    for (const Client_Operation& op : client_operations()) {
      if (op.scope != scope) continue;
      text += std::string("  ") + op.name + (op.job ? " +" : "") + (*op.synopsis ? " " : "") +
              op.synopsis + "\n      " + op.summary + "\n";
    }
  };
  group("back-office operations:", Client_Scope::BOSS);
  group("operations of a user (--as-user):", Client_Scope::USER);
  group("either way:", Client_Scope::EITHER);
  text +=
      "\nexample:\n"
      "  qingcloud-agent client --host 127.0.0.1 --port 8080 --no-ssl \\\n"
      "      --access-key-id QYDEMOBOSS0000000001 \\\n"
      "      --secret-file boss.secret --as-user usr-ops00001 --zone pek3a \\\n"
      "      run-instance --image centos77x64a\n";
  return text;
}

void client_option_names(std::vector<std::string>& options, std::vector<std::string>& flags) {
  options = CLIENT_OPTIONS;
  std::vector<std::string> op_options;
  operation_names(op_options, flags);
  options.insert(options.end(), op_options.begin(), op_options.end());
}

bool parse_client_args(const Arg_Reader& reader, Client_Options& o, std::string& error) {
  std::vector<std::string> op_options;
  std::vector<std::string> op_flags;
  operation_names(op_options, op_flags);
  std::vector<std::string> with_value = CLIENT_OPTIONS;
  with_value.insert(with_value.end(), op_options.begin(), op_options.end());
  for (const std::string& option : with_value) {
    const std::vector<std::string> values = reader.values(option);
    for (const std::string& v : values) {
      if (v.empty()) {
        error = option + " needs a value that is not empty";
        return false;
      }
    }
    if (!values.empty() && listed(op_options, option)) o.values[option] = values;
  }
  for (const std::string& flag : op_flags)
    if (reader.has(flag)) o.flags.push_back(flag);
  if (!read_connection(reader, o.connection, error)) return false;
  const std::string& host = o.connection.host;
  o.api_host = reader.value("--api-host", host);
  o.version = reader.value("--version", o.version);
  o.zone = reader.value("--zone");
  o.as_user = reader.value("--as-user");
  if (host.empty()) {
    error = "--host is missing";
    return false;
  }
  if (o.connection.access_key_id.empty()) {
    error = "--access-key-id is missing";
    return false;
  }
  if (reader.words().empty()) {
    error = "OPERATION is missing";
    return false;
  }
  o.operation = find_operation(reader.words().front());
  if (o.operation == nullptr) {
    error = "unknown operation '" + reader.words().front() + "'";
    return false;
  }
  o.words.assign(reader.words().begin() + 1, reader.words().end());
  for (const std::string& w : o.words) {
    if (w.empty()) {
      error = std::string("an empty argument for ") + o.operation->name;
      return false;
    }
  }
  return check_operation(o, op_options, op_flags, error);
}
