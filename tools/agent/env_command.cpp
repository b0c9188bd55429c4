// qingcloud-agent env add|list|show|remove: the environments the host keeps.
#include <cstdio>
#include <string>

#include "host/json_spirit/writer.h"
#include "tools/agent/command_entry.h"
#include "tools/agent/commands.h"
#include "tools/agent/host_session.h"
#include "tools/agent/login_outcome.h"
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
  const Login_Outcome test = test_login(session.host(), settings);
  if (test.failed.empty()) return true;
  const std::string reason = test.refused ? failure_reason(test.cause) : answer_reason(test.answer);
  command_fail("env", EXIT_FAILED, "the login test failed: " + test.failed);
  if (!reason.empty()) command_fail("env", EXIT_FAILED, reason);
  command_fail("env", EXIT_FAILED,
               "nothing was kept; --no-test keeps settings without the test (for a platform not "
               "reachable yet)");
  return false;
}

std::vector<std::string> with(std::vector<std::string> names,
                              const std::vector<std::string>& more) {
  names.insert(names.end(), more.begin(), more.end());
  return names;
}

std::string misuse(const Arg_Reader& a) {
  const std::vector<std::string>& words = a.words();
  const std::string verb = words.empty() ? "" : words[0];
  const std::size_t want = verb == "add" || verb == "list" ? 1 : 2;
  if ((verb != "add" && verb != "list" && verb != "show" && verb != "remove") ||
      words.size() != want)
    return "want add, list, show UUID or remove UUID";
  return std::string();
}

int env(Command_Context& c) {
  const Arg_Reader& a = c.args;
  const std::vector<std::string>& words = a.words();
  const std::string& verb = words[0];
  std::string error;
  // Settings were read before the home was opened; an add without any gets
  // the line that reading none of them gives.
  if (verb == "add" && !c.settings) return c.fail(EXIT_BAD_USAGE, "--access-key-id is missing");
  // Settings are tested through the plug-in before they are kept.
  const bool test = verb == "add" && !a.has("--no-test");
  Host_Session& session = *c.session;
  if (test && !session.load_plugin(a, error)) return c.fail(EXIT_BAD_USAGE, error);
  Agent_Home& home = session.home();

  if (verb == "add") {
    json_spirit::Object settings;
    if (!settings_from_args(*c.settings, home, settings, error))
      return c.fail(EXIT_BAD_USAGE, error);
    const std::string uuid = a.value("--uuid", new_uuid());
    if (uuid.empty()) return c.fail(EXIT_FAILED, "cannot make a uuid");
    if (!settings_within_limits(uuid, settings, true, error)) return c.fail(EXIT_BAD_USAGE, error);
    Agent_Home::Environments kept;
    if (!home.environments(kept, error)) return c.fail(EXIT_FAILED, error);
    const std::string same = same_settings_as(kept, uuid, settings);
    if (test && !login_passes(session, settings)) return EXIT_FAILED;
    if (!home.put(uuid, std::move(settings), error)) return c.fail(EXIT_FAILED, error);
    std::printf("%s\n", uuid.c_str());
    if (!same.empty())
      std::fprintf(stderr,
                   "qingcloud-agent env: note: %s has the same hosts, port, TLS and access "
                   "key id (remove one of them with `qingcloud-agent env remove UUID`)\n",
                   printable(same).c_str());
    return EXIT_OK;
  }
  if (verb == "list") {
    Agent_Home::Environments envs;
    if (!home.environments(envs, error)) return c.fail(EXIT_FAILED, error);
    for (const auto& [uuid, s] : envs) {
      const std::string name = text_of(s, "name");
      std::printf("%s  %sboss=%s api=%s port=%s ssl=%s version=%s key=%s\n",
                  printable(uuid).c_str(), name.empty() ? "" : ("name=" + name + " ").c_str(),
                  text_of(s, "boss_host").c_str(), text_of(s, "api_host").c_str(),
                  text_of(s, "port").c_str(), text_of(s, "ssl").c_str(),
                  text_of(s, "version").c_str(), text_of(s, "access_key").c_str());
    }
    return EXIT_OK;
  }
  const std::string& uuid = words[1];
  if (verb == "show") {
    json_spirit::Object settings;
    if (!home.environment(uuid, settings)) return c.fail(EXIT_FAILED, "no environment " + uuid);
    std::printf(
        "%s\n",
        printable_json(json_spirit::JSON_Dump(shown(std::move(settings)), true).str()).c_str());
    return EXIT_OK;
  }
  if (!home.remove(uuid, error)) return c.fail(EXIT_FAILED, error);
  return EXIT_OK;
}

}  // namespace

const Command_Entry ENV_COMMAND = {
    "env",
    "add, list, show or remove the environments the host keeps",
    std::string(USAGE) + SETTINGS_USAGE +
        "  --name N            a name for people, shown first\n"
        "  --uuid U            the environment's uuid (default: a new one)\n"
        "  --no-test           keep the settings without the login test\n",
    EXAMPLE,
    with(settings_options(), {"--uuid"}),
    with(settings_flags(), {"--no-test"}),
    HOST_OPTIONS,
    Needs::HOME,
    true,
    env,
    misuse};
