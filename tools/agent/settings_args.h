#pragma once

#include <string>
#include <vector>

#include "host/json_spirit/value.h"
#include "tools/agent/agent_home.h"
#include "tools/agent/arg_reader.h"

// The connection settings as `env add` and `login-test` take them:
// --boss-host H --api-host H2 [--port P] [--no-ssl] --access-key-id K
// [--version V] [--secret-file F]; the secret comes from --secret-file or
// QINGCLOUD_SECRET_ACCESS_KEY or the terminal, never from the command line.
std::vector<std::string> settings_options();
std::vector<std::string> settings_flags();
extern const char* const SETTINGS_USAGE;

// Whether any settings option was given (login-test takes a uuid otherwise).
bool has_settings(const Arg_Reader& args);

// The settings of the command line, checked, with their secret.  Read
// before the home is opened: a command that root runs on the service's home
// takes its owner's identity then, and a secret file of root's alone must
// still be readable.
struct Settings_Args {
  std::string name;  // optional, for people
  std::string boss_host;
  std::string api_host;
  std::string key_id;
  std::string version;
  unsigned short port = 0;
  bool ssl = true;
  secure_string secret;
};
bool read_settings_args(const Arg_Reader& args, Settings_Args& read, std::string& error);

// The JSON form of the settings, the secret encrypted for the host key of
// `home`, as the host hands them to the plug-in.  False with the problem in
// `error`.
bool settings_from_args(const Settings_Args& args, const Agent_Home& home,
                        json_spirit::Object& settings, std::string& error);

// Whether `host` is a host name or an IP address, as the settings take them:
// no scheme, no path and no port (those go elsewhere).  False with the line
// that says which, naming the field as `field`.
bool check_host(const std::string& host, const std::string& field, std::string& error);

// The kept environment, other than `uuid`, that reaches the same platform
// with the same key (hosts, port, TLS and access key id), or "".
std::string same_settings_as(const Agent_Home::Environments& kept, const std::string& uuid,
                             const json_spirit::Object& settings);

// Whether every field of an environment (its uuid beside its settings) is
// within its length (hosts 253 bytes, as DNS names are; names, key ids,
// versions and uuids 64; the encrypted secret 1024).  False with the field named in
// `error`: as its command-line option with `as_options`, else as its key.
bool settings_within_limits(const std::string& uuid, const json_spirit::Object& settings,
                            bool as_options, std::string& error);

// The JSON form of the settings with the secret already encrypted (`cipher`).
json_spirit::Object settings_object(const std::string& version, const std::string& boss_host,
                                    const std::string& api_host, int port, bool ssl,
                                    const std::string& key_id, const std::string& cipher,
                                    const std::string& name = std::string());
