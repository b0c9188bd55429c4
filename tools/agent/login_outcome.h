#pragma once

#include <string>

#include "host/json_spirit/value.h"
#include "tools/agent/agent_host.h"

// What the plug-in's login test of some settings came to, as `env add`,
// `login-test` and the console's add and test read it.
struct Login_Outcome {
  json_spirit::Value answer;  // the host's answer, as it came
  // "" when the login works.  Else the handler's error ("error -32603:
  // ..."), or the test's own message when it ran and said no ("no reason
  // given" when it has none).
  std::string failed;
  bool refused = false;       // the test ran and said no
  json_spirit::Object cause;  // of a failure: what was logged meanwhile (failure_cause)
};

// Runs the login test of `settings` through `host`.  It passes only with a
// "status" of true.
Login_Outcome test_login(Agent_Host& host, const json_spirit::Object& settings,
                         const json_spirit::Value& id = 1);
