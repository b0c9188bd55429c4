// qingcloud-agent env add|list|show|remove: the environments the host keeps.
#include <cstdio>
#include <string>

#include "host/json_spirit/writer.h"
#include "tools/agent/commands.h"
#include "tools/agent/host_session.h"
#include "tools/agent/settings_args.h"
#include "tools/agent/terminal_text.h"

namespace {

const char* const USAGE =
    "usage: qingcloud-agent env add [--uuid U] --boss-host H --api-host H2 [--port P]\n"
    "                               [--no-ssl] --access-key-id K [--version V]\n"
    "                               [--secret-file F]\n"
    "       qingcloud-agent env list\n"
    "       qingcloud-agent env show UUID\n"
    "       qingcloud-agent env remove UUID\n"
    "Keeps the connection settings of QingCloud environments in the host's folder; the\n"
    "secret (from QINGCLOUD_SECRET_ACCESS_KEY or --secret-file, or typed when asked for)\n"
    "is stored encrypted for the host's key and never shown.\n\n"
    "options:\n";

const char* const EXAMPLE =
    "\nexample:\n"
    "  qingcloud-agent env add --boss-host boss.example.com --api-host api.example.com \\\n"
    "      --access-key-id QYACCESSKEYEXAMPLE          # asks for the secret\n";

// The settings without their secret, for showing.
json_spirit::Object shown(json_spirit::Object settings) {
  settings.erase("secret_access_key");
  return settings;
}

std::string text_of(const json_spirit::Object& s, const char* key) {
  auto it = s.find(key);
  if (it == s.end()) return "";
  if (it->second.type() == json_spirit::str_type) return printable(it->second.get_str());
  return printable_json(json_spirit::JSON_Dump(it->second, false).str());
}

}  // namespace

int env_command(const Command_Args& args) {
  std::vector<std::string> options = settings_options();
  options.push_back("--uuid");
  Arg_Reader a(args, with_host_options(options), with_host_flags(settings_flags()));
  if (!a.ok())
    return host_fail("env", HOST_BAD_USAGE, a.error() + " (see qingcloud-agent env --help)");
  if (a.has("--help")) {
    std::printf("%s%s%s  --uuid U             the environment's uuid (default: a new one)\n%s",
                USAGE, SETTINGS_USAGE, HOST_OPTIONS_USAGE, EXAMPLE);
    return HOST_OK;
  }
  const std::vector<std::string>& words = a.words();
  const std::string verb = words.empty() ? "" : words[0];
  const std::size_t want = verb == "add" || verb == "list" ? 1 : 2;
  if ((verb != "add" && verb != "list" && verb != "show" && verb != "remove") ||
      words.size() != want) {
    return host_fail("env", HOST_BAD_USAGE,
                     "want add, list, show UUID or remove UUID (see qingcloud-agent env --help)");
  }

  std::string error;
  Settings_Args read;
  if (verb == "add" && !read_settings_args(a, read, error))
    return host_fail("env", HOST_BAD_USAGE, error);
  Host_Session session;
  if (!session.open(a, false, error)) return host_fail("env", HOST_BAD_USAGE, error);
  Agent_Home& home = session.home();

  if (verb == "add") {
    json_spirit::Object settings;
    if (!settings_from_args(read, home, settings, error))
      return host_fail("env", HOST_BAD_USAGE, error);
    const std::string uuid = a.value("--uuid", new_uuid());
    if (uuid.empty()) return host_fail("env", HOST_FAILED, "cannot make a uuid");
    if (!settings_within_limits(uuid, settings, true, error))
      return host_fail("env", HOST_BAD_USAGE, error);
    if (!home.put(uuid, std::move(settings), error)) return host_fail("env", HOST_FAILED, error);
    std::printf("%s\n", uuid.c_str());
    return HOST_OK;
  }
  if (verb == "list") {
    Agent_Home::Environments envs;
    if (!home.environments(envs, error)) return host_fail("env", HOST_FAILED, error);
    for (const auto& [uuid, s] : envs) {
      std::printf("%s  boss=%s api=%s port=%s ssl=%s version=%s key=%s\n", printable(uuid).c_str(),
                  text_of(s, "boss_host").c_str(), text_of(s, "api_host").c_str(),
                  text_of(s, "port").c_str(), text_of(s, "ssl").c_str(),
                  text_of(s, "version").c_str(), text_of(s, "access_key").c_str());
    }
    return HOST_OK;
  }
  const std::string& uuid = words[1];
  if (verb == "show") {
    json_spirit::Object settings;
    if (!home.environment(uuid, settings))
      return host_fail("env", HOST_FAILED, "no environment " + uuid);
    std::printf(
        "%s\n",
        printable_json(json_spirit::JSON_Dump(shown(std::move(settings)), true).str()).c_str());
    return HOST_OK;
  }
  if (!home.remove(uuid, error)) return host_fail("env", HOST_FAILED, error);
  return HOST_OK;
}
