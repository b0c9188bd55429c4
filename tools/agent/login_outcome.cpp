#include "tools/agent/login_outcome.h"

#include "tools/agent/failure_hint.h"
#include "tools/agent/host_session.h"
#include "tools/agent/request_log.h"

Login_Outcome test_login(Agent_Host& host, const json_spirit::Object& settings,
                         const json_spirit::Value& id) {
  Login_Outcome outcome;
  Request_Log log;
  outcome.answer = host.request(Agent_Host::LOGIN_METHOD, settings, id);
  outcome.failed = answer_error(outcome.answer);
  if (outcome.failed.empty()) {
    const json_spirit::Value& result = outcome.answer.get_obj().at("result");
    const json_spirit::Object* said =
        result.type() == json_spirit::obj_type ? &result.get_obj() : nullptr;
    if (said && said->count("status") && said->at("status") == json_spirit::Value(true))
      return outcome;
    outcome.refused = true;
    outcome.failed =
        said && said->count("message") && said->at("message").type() == json_spirit::str_type
            ? said->at("message").get_str()
            : "no reason given";
  }
  outcome.cause = failure_cause(log.lines());
  return outcome;
}
