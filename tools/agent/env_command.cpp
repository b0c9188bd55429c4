// qingcloud-agent env add|list|show|remove: the environments the host keeps.
#include <cstdio>
#include <string>

#include "host/json_spirit/writer.h"
#include "tools/agent/commands.h"
#include "tools/agent/failure_hint.h"
#include "tools/agent/host_session.h"
#include "tools/agent/request_log.h"
#include "tools/agent/settings_args.h"
#include "tools/agent/terminal_text.h"

namespace {

const char* const USAGE =
    "usage: qingcloud-agent env add [--uuid U] [--name N] --boss-host H --api-host H2\n"
    "                               [--port P] [--no-ssl] --access-key-id K [--version V]\n"
    "                               [--secret-file F] [--no-test]\n"
    "       qingcloud-agent env list\n"
    "       qingcloud-agent env show UUID\n"
    "       qingcloud-agent env remove UUID\n"
    "Keeps the connection settings of QingCloud environments in the host's folder; the\n"
    "secret (from QINGCLOUD_SECRET_ACCESS_KEY or --secret-file, or typed when asked for)\n"
    "is stored encrypted for the host's key and never shown.  add runs the login test\n"
    "through the plug-in first and keeps the settings only when it passes.\n\n"
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

// The login test of settings about to be kept; on failure its cause is
// printed, and that nothing was kept.
bool login_passes(Host_Session& session, const json_spirit::Object& settings) {
  Request_Log log;
  const json_spirit::Value answer = session.host().request(Agent_Host::LOGIN_METHOD, settings);
  std::string failed = answer_error(answer), reason = answer_reason(answer);
  if (failed.empty()) {
    const json_spirit::Object& outcome = answer.get_obj().at("result").get_obj();
    if (outcome.count("status") && outcome.at("status") == json_spirit::Value(true)) return true;
    failed = outcome.count("message") && outcome.at("message").type() == json_spirit::str_type
                 ? outcome.at("message").get_str()
                 : "no reason given";
    reason = failure_reason(failure_cause(log.lines()));
  }
  host_fail("env", HOST_FAILED, "the login test failed: " + failed);
  if (!reason.empty()) host_fail("env", HOST_FAILED, reason);
  host_fail("env", HOST_FAILED,
            "nothing was kept; --no-test keeps settings without the test (for a platform not "
            "reachable yet)");
  return false;
}

}  // namespace

int env_command(const Command_Args& args) {
  std::vector<std::string> options = settings_options();
  options.push_back("--uuid");
  std::vector<std::string> flags = settings_flags();
  flags.push_back("--no-test");
  Arg_Reader a(args, with_host_options(options), with_host_flags(flags));
  if (!a.ok())
    return host_fail("env", HOST_BAD_USAGE, a.error() + " (see qingcloud-agent env --help)");
  if (a.has("--help")) {
    std::printf(
        "%s%s  --name N             a name for people, shown first\n"
        "  --uuid U             the environment's uuid (default: a new one)\n"
        "  --no-test            keep the settings without the login test\n%s%s",
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
  // Settings are tested through the plug-in before they are kept.
  const bool test = verb == "add" && !a.has("--no-test");
  Host_Session session;
  if (!session.open(a, test, error)) return host_fail("env", HOST_BAD_USAGE, error);
  Agent_Home& home = session.home();

  if (verb == "add") {
    json_spirit::Object settings;
    if (!settings_from_args(read, home, settings, error))
      return host_fail("env", HOST_BAD_USAGE, error);
    const std::string uuid = a.value("--uuid", new_uuid());
    if (uuid.empty()) return host_fail("env", HOST_FAILED, "cannot make a uuid");
    if (!settings_within_limits(uuid, settings, true, error))
      return host_fail("env", HOST_BAD_USAGE, error);
    Agent_Home::Environments kept;
    if (!home.environments(kept, error)) return host_fail("env", HOST_FAILED, error);
    const std::string same = same_settings_as(kept, uuid, settings);
    if (test && !login_passes(session, settings)) return HOST_FAILED;
    if (!home.put(uuid, std::move(settings), error)) return host_fail("env", HOST_FAILED, error);
    std::printf("%s\n", uuid.c_str());
    if (!same.empty())
      std::fprintf(stderr,
                   "qingcloud-agent env: note: %s has the same hosts, port, TLS and access "
                   "key id (remove one of them with `qingcloud-agent env remove UUID`)\n",
                   printable(same).c_str());
    return HOST_OK;
  }
  if (verb == "list") {
    Agent_Home::Environments envs;
    if (!home.environments(envs, error)) return host_fail("env", HOST_FAILED, error);
    for (const auto& [uuid, s] : envs) {
      const std::string name = text_of(s, "name");
      std::printf("%s  %sboss=%s api=%s port=%s ssl=%s version=%s key=%s\n",
                  printable(uuid).c_str(), name.empty() ? "" : ("name=" + name + " ").c_str(),
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
