#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "host/support/secure_string.h"
#include "tools/agent/arg_reader.h"
#include "tools/agent/common_options.h"

// Which client an operation needs.
enum class Client_Scope {
  BOSS,    // the back-office client; refused with --as-user
  USER,    // a user's infrastructure client; needs --as-user
  EITHER,  // whichever --as-user picks
};

enum class Client_Op {
  DESCRIBE_USERS,
  DESCRIBE_ACCESS_KEYS,
  DESCRIBE_BOTS,
  DESCRIBE_INSTANCES,
  DESCRIBE_VXNETS,
  DESCRIBE_VOLUMES,
  DESCRIBE_IMAGES,
  MIGRATE_INSTANCES,
  RUN_INSTANCE,
  START_INSTANCE,
  STOP_INSTANCE,
  TERMINATE_INSTANCE,
  CREATE_VOLUME,
  DELETE_VOLUMES,
  DESCRIBE_SNAPSHOTS,
  CREATE_SNAPSHOTS,
  WAIT_LEASE,
};

// One operation of the command and what it accepts.
struct Client_Operation {
  Client_Op op = Client_Op::DESCRIBE_USERS;
  const char* name = "";
  Client_Scope scope = Client_Scope::BOSS;
  const char* synopsis = "";  // its arguments, for --help
  const char* summary = "";
  bool zone = false;                  // works in one zone, so --zone is required
  bool job = false;                   // a platform job: waited for unless --no-wait
  std::vector<std::string> options;   // taking a value
  std::vector<std::string> flags;     // besides --no-wait of jobs
  std::vector<std::string> required;  // options that must be given
  std::size_t min_words = 0;
  std::size_t max_words = 0;
  // The options and the words are alternatives: at most one kind is given.
  bool exclusive = false;
};

const std::vector<Client_Operation>& client_operations();

// What `qingcloud-agent client` was asked to do.
struct Client_Options {
  Connection connection;
  std::string api_host;  // after parsing: the connection's host unless given
  std::string version = "5.1.1";
  std::string zone;
  std::string as_user;

  const Client_Operation* operation = nullptr;
  std::vector<std::string> words;  // the operation's arguments
  std::map<std::string, std::vector<std::string>> values;
  std::vector<std::string> flags;

  bool has(const std::string& flag) const;
  // The last value of an option of the operation, or "".
  std::string value(const std::string& option) const;
  std::vector<std::string> all(const std::string& option) const;
};

// The command's usage and own options, before the connection's; its options
// and flags besides the connection's: those of every operation.
std::string client_usage();
// What follows the options: the profiles, the operations, an example.
std::string client_usage_tail();
void client_option_names(std::vector<std::string>& options, std::vector<std::string>& flags);

// Reads client's arguments.  False with the problem in `error` (one line)
// when they cannot be used.
bool parse_client_args(const Arg_Reader& args, Client_Options& options, std::string& error);
