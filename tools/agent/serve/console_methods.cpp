#include "tools/agent/serve/console_methods.h"

#include <string>

#include "host/json_spirit/object_get.h"
#include "host/support/secure_string.h"
#include "tools/agent/login_outcome.h"
#include "tools/agent/settings_args.h"

namespace {

using json_spirit::Object;
using json_spirit::Value;

Value result(const JSON_RPC_Request& request, Value value) {
  JSON_RPC_Response response(request);
  response.result() = std::move(value);
  return response.to_json();
}

Value invalid(const JSON_RPC_Request& request, const std::string& why) {
  return json_rpc_error(request.id(), JSON_RPC_INVALID_PARAMS, "Invalid params: " + why);
}

Value list_environments(const Agent_Home& home, const JSON_RPC_Request& request) {
  Agent_Home::Environments envs;
  std::string error;
  if (!home.environments(envs, error))
    return json_rpc_error(request.id(), JSON_RPC_INTERNAL_ERROR, "Internal error: " + error);
  json_spirit::Array out;
  for (const auto& [uuid, settings] : envs) {
    Object shown{{"uuid", uuid}};
    for (const char* key :
         {"name", "boss_host", "api_host", "port", "ssl", "version", "access_key"}) {
      if (const Value* v = json_spirit::object_get_value(settings, key)) shown[key] = *v;
    }
    out.push_back(std::move(shown));
  }
  return result(request, std::move(out));
}

// Whether the settings of an add are tested before they are kept: unless
// "test" is false.
bool tested(const Object& params) {
  bool test = true;
  json_spirit::object_get(params, "test", test);
  return test;
}

Value add_environment(Agent_Host& host, Agent_Home& home, const JSON_RPC_Request& request) {
  if (request.params().type() != json_spirit::obj_type)
    return invalid(request, "params type must be object");
  const Object& p = request.params().get_obj();
  std::string boss_host, api_host, key_id, version = "5.1.1", uuid, name;
  bool ssl = true;  // towards the platform, TLS unless told otherwise
  json_spirit::object_get(p, "ssl", ssl);
  std::int64_t port = ssl ? 443 : 80;
  const std::string* secret_text = json_spirit::object_get_str(p, "secret_access_key");
  if (!json_spirit::object_get(p, "boss_host", boss_host) || boss_host.empty())
    return invalid(request, "boss_host is missing");
  if (!json_spirit::object_get(p, "api_host", api_host) || api_host.empty())
    return invalid(request, "api_host is missing");
  if (!json_spirit::object_get(p, "access_key", key_id) || key_id.empty())
    return invalid(request, "access_key is missing");
  if (!secret_text || secret_text->empty()) return invalid(request, "secret_access_key is missing");
  if (p.count("port") && (!json_spirit::object_get(p, "port", port) || port < 1 || port > 65535))
    return invalid(request, "port must be a number from 1 to 65535");
  json_spirit::object_get(p, "version", version);
  json_spirit::object_get(p, "name", name);
  if (!json_spirit::object_get(p, "uuid", uuid) || uuid.empty()) uuid = new_uuid();
  std::string error;
  if (!check_host(boss_host, "boss_host", error) || !check_host(api_host, "api_host", error))
    return invalid(request, error);

  std::string cipher;
  if (!home.encrypt(secure_string(*secret_text), cipher, error)) return invalid(request, error);
  Object settings = settings_object(version, boss_host, api_host, static_cast<int>(port), ssl,
                                    key_id, cipher, name);
  if (!settings_within_limits(uuid, settings, false, error)) return invalid(request, error);
  Agent_Home::Environments kept;
  if (!home.environments(kept, error))
    return json_rpc_error(request.id(), JSON_RPC_INTERNAL_ERROR, "Internal error: " + error);
  const std::string same = same_settings_as(kept, uuid, settings);
  if (tested(p)) {
    Login_Outcome test = test_login(host, settings, request.id());
    if (!test.failed.empty()) {
      Value failed =
          json_rpc_error(request.id(), JSON_RPC_INTERNAL_ERROR,
                         "Internal error: the login test failed, nothing was kept: " + test.failed);
      failed.get_obj()["error"].get_obj()["data"] = std::move(test.cause);
      return failed;
    }
  }
  if (!home.put(uuid, std::move(settings), error))
    return json_rpc_error(request.id(), JSON_RPC_INTERNAL_ERROR, "Internal error: " + error);
  Object added{{"uuid", uuid}};
  if (!same.empty()) added["same_as"] = same;  // kept all the same; the console says so
  return result(request, std::move(added));
}

Value remove_environment(Agent_Home& home, const JSON_RPC_Request& request) {
  std::string uuid, error;
  if (request.params().type() != json_spirit::obj_type ||
      !json_spirit::object_get(request.params().get_obj(), "uuid", uuid))
    return invalid(request, "uuid is missing");
  if (!home.remove(uuid, error)) return invalid(request, error);
  return result(request, Object{{"removed", true}});
}

// The login test of a kept environment: its settings, as the host keeps
// them, through the plug-in's login handler.
Value test_environment(Agent_Host& host, const Agent_Home& home, const JSON_RPC_Request& request) {
  std::string uuid;
  if (request.params().type() != json_spirit::obj_type ||
      !json_spirit::object_get(request.params().get_obj(), "uuid", uuid))
    return invalid(request, "uuid is missing");
  Object settings;
  if (!home.environment(uuid, settings)) return invalid(request, "no environment " + uuid);
  Login_Outcome test = test_login(host, settings, request.id());
  // A failed test is a result: the cause goes beside its message.
  if (test.refused) {
    Value& result = test.answer.get_obj()["result"];
    if (result.type() == json_spirit::obj_type)
      for (auto& [key, value] : test.cause)
        result.get_obj()[key] = std::move(value);
  }
  return std::move(test.answer);
}

}  // namespace

void add_console_methods(Agent_Host& host, Agent_Home& home) {
  host.add_method(
      "host.environments.test",
      [&host, &home](const JSON_RPC_Request& r) { return test_environment(host, home, r); },
      [](const Value&) { return true; });
  host.add_method("host.environments.list",
                  [&home](const JSON_RPC_Request& r) { return list_environments(home, r); });
  host.add_method(
      "host.environments.add",
      [&host, &home](const JSON_RPC_Request& r) { return add_environment(host, home, r); },
      [](const Value& params) {
        return params.type() != json_spirit::obj_type || tested(params.get_obj());
      });
  host.add_method("host.environments.remove",
                  [&home](const JSON_RPC_Request& r) { return remove_environment(home, r); });
}
