// qingcloud-agent login-test: the login handler's test of a set of settings.
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
    "usage: qingcloud-agent login-test UUID\n"
    "       qingcloud-agent login-test --boss-host H --api-host H2 [--port P] [--no-ssl]\n"
    "                                  --access-key-id K [--version V] [--secret-file F]\n"
    "Tests the settings of a kept environment, or the settings given (the secret encrypted\n"
    "for the host's key, as the console sends it), through the plug-in's login handler,\n"
    "and prints its result.  Exit 0 when the login works, 1 when it does not.\n\n"
    "options:\n";

const char* const EXAMPLE =
    "\nexample:\n"
    "  qingcloud-agent login-test 3f0c8a5e-1b2d-4c6e-9f7a-0123456789ab\n";

std::string misuse(const Arg_Reader& a) {
  const bool given = has_settings(a);
  if (given ? !a.words().empty() : a.words().size() != 1) return "want a UUID or the settings";
  return std::string();
}

int login_test(Command_Context& c) {
  Host_Session& session = *c.session;
  std::string error;
  json_spirit::Object settings;
  if (c.settings) {
    if (!settings_from_args(*c.settings, session.home(), settings, error))
      return c.fail(EXIT_BAD_USAGE, error);
  } else if (!session.home().environment(c.args.words()[0], settings)) {
    return c.fail(EXIT_FAILED, "no environment " + c.args.words()[0]);
  }

  const Login_Outcome test = test_login(session.host(), settings);
  if (!test.failed.empty() && !test.refused) return answer_fail("login-test", test.answer);
  const json_spirit::Value& result = test.answer.get_obj().at("result");
  std::printf("%s\n", printable_json(json_spirit::JSON_Dump(result, true).str()).c_str());
  if (test.failed.empty()) return EXIT_OK;
  // The plug-in's answer is printed as it is; why it failed comes after.
  const std::string reason = failure_reason(test.cause);
  if (!reason.empty()) c.fail(EXIT_FAILED, reason);
  return EXIT_FAILED;
}

}  // namespace

const Command_Entry LOGIN_TEST_COMMAND = {"login-test",
                                          "test connection settings through the plug-in",
                                          std::string(USAGE) + SETTINGS_USAGE,
                                          EXAMPLE,
                                          settings_options(),
                                          settings_flags(),
                                          HOST_OPTIONS,
                                          Needs::PLUGIN,
                                          true,
                                          login_test,
                                          misuse};
