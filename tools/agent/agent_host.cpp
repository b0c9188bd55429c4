#include "tools/agent/agent_host.h"

#include <algorithm>

#include "host/agent/global_json_rpc.h"
#include "host/json_spirit/reader.h"
#include "host/support/log.h"
#include "tools/agent/failure_hint.h"

namespace {

// A batch's answers, one for each request and none for its notifications
// (whose answer is null); null when there are none.
template <typename Answer>
json_spirit::Value answers_of(const json_spirit::Array& batch, Answer answer_one) {
  json_spirit::Array answers;
  for (const json_spirit::Value& one : batch) {
    json_spirit::Value answer = answer_one(one);
    if (!answer.is_null()) answers.push_back(std::move(answer));
  }
  if (answers.empty()) return json_spirit::Value();
  return answers;
}

}  // namespace

json_spirit::Value json_rpc_error(const json_spirit::Value& id, int code,
                                  const std::string& message) {
  return JSON_RPC_Error(id, code, message, json_spirit::Value()).to_json();
}

json_spirit::Value with_cause(json_spirit::Value answer, const Request_Log& log) {
  if (answer.type() != json_spirit::obj_type) return answer;
  auto error = answer.get_obj().find("error");
  if (error == answer.get_obj().end() || error->second.type() != json_spirit::obj_type)
    return answer;
  json_spirit::Object& e = error->second.get_obj();
  const std::vector<std::string> lines = log.lines();
  if (lines.empty() || (e.count("data") && !e.at("data").is_null())) return answer;
  e["data"] = failure_cause(lines);
  return answer;
}

Agent_Host::~Agent_Host() {
  if (serving_query_) unregister_global_json_rpc("qingcloud.query");
  if (list_) gobble_list_(list_);
  if (login_) gobble_login_(login_);
}

bool Agent_Host::start(const Agent_Home& home, const std::string& plugin_path, std::string& error) {
  if (!plugin_.open(plugin_path)) {
    error = "cannot load the plug-in " + plugin_path + ": " + plugin_.error();
    return false;
  }
  if (!make_handler(plugin_, "_make_JSON_RPC_QingCloud_List_Handler", list_, gobble_list_, error) ||
      !make_handler(plugin_, "_make_JSON_RPC_QingCloud_Login_Handler", login_, gobble_login_,
                    error)) {
    return false;
  }
  register_global_json_rpc(
      "qingcloud.query", [&home](const json_spirit::Value& params, json_spirit::Value& result) {
        if (params.type() != json_spirit::obj_type) return false;
        auto uuid = params.get_obj().find("uuid");
        if (uuid == params.get_obj().end() || uuid->second.type() != json_spirit::str_type)
          return false;
        json_spirit::Object settings;
        if (!home.environment(uuid->second.get_str(), settings)) return false;
        result = std::move(settings);
        return true;
      });
  serving_query_ = true;
  return true;
}

void Agent_Host::add_method(const std::string& name, Host_Method method, Reach reaches_platform) {
  methods_[name] = {std::move(method), std::move(reaches_platform)};
}

bool Agent_Host::reaches_platform(const json_spirit::Value& message) const {
  if (message.type() == json_spirit::array_type) {
    const json_spirit::Array& batch = message.get_array();
    if (batch.size() > MAX_BATCH) return false;  // refused at once
    return std::any_of(batch.begin(), batch.end(),
                       [this](const json_spirit::Value& one) { return reaches_platform(one); });
  }
  const std::string method = served_method(message);
  if (handler_for(method) != nullptr) return true;
  const auto own = methods_.find(method);
  if (own == methods_.end() || !own->second.reaches_platform) return false;
  const auto params = message.get_obj().find("params");
  return own->second.reaches_platform(params == message.get_obj().end() ? json_spirit::Value()
                                                                        : params->second);
}

json_spirit::Value Agent_Host::busy_answer(const json_spirit::Value& message,
                                           const std::string& why) const {
  auto one = [&why](const json_spirit::Value& request) -> json_spirit::Value {
    if (request.type() != json_spirit::obj_type) return json_spirit::Value();
    const auto id = request.get_obj().find("id");
    if (id == request.get_obj().end()) return json_spirit::Value();  // a notification
    return json_rpc_error(id->second, JSON_RPC_INTERNAL_ERROR, "Internal error: " + why);
  };
  if (message.type() != json_spirit::array_type) return one(message);
  return answers_of(message.get_array(), one);
}

JSON_RPC_Handler* Agent_Host::handler_for(const std::string& method) const {
  if (method == LIST_METHOD) return list_;
  if (method == LOGIN_METHOD) return login_;
  return nullptr;
}

json_spirit::Value Agent_Host::dispatch(JSON_RPC_Handler& handler, JSON_RPC_Object_var message) {
  auto* channel = new JSON_RPC_Collecting_Channel();
  JSON_RPC_Channel_var channel_var(channel);
  Request_Log log;
  handler.handle_object(channel_var, message);
  std::vector<JSON_RPC_Object_var> sent = channel->sent();
  if (sent.empty()) return json_spirit::Value();
  JSON_RPC_Object& last = *sent.back();
  if (last.kind() != JSON_RPC_Object::KIND_RESPONSE) return with_cause(last.to_json(), log);
  // A listing's result holds every node of the answer: it is moved out, not
  // copied, so the answer is held once.
  auto& response = static_cast<JSON_RPC_Response&>(last);
  json_spirit::Value result = std::move(response.result());
  response.result() = json_spirit::Value();
  json_spirit::Value answer = response.to_json();
  answer.get_obj()["result"] = std::move(result);
  return answer;
}

json_spirit::Value Agent_Host::request(const std::string& method, const json_spirit::Value& params,
                                       const json_spirit::Value& id) {
  JSON_RPC_Handler* handler = handler_for(method);
  if (!handler) return json_rpc_error(id, JSON_RPC_METHOD_NOT_FOUND, "Method not found");
  return dispatch(*handler, JSON_RPC_Object_var(new JSON_RPC_Request(id, method, params)));
}

json_spirit::Value Agent_Host::handle_text(const std::string& text) {
  json_spirit::Value message;
  if (!json_spirit::read(text, message)) {
    return json_rpc_error(json_spirit::Value(), JSON_RPC_PARSE_ERROR, "Parse error");
  }
  return handle_message(message);
}

json_spirit::Value Agent_Host::handle_message(const json_spirit::Value& message) {
  if (message.type() != json_spirit::array_type) return handle_json(message);
  // A batch: the answers of its requests, none for its notifications.
  const json_spirit::Array& batch = message.get_array();
  if (batch.empty()) {
    return json_rpc_error(json_spirit::Value(), JSON_RPC_INVALID_REQUEST, "Invalid Request");
  }
  // One message must not hold a handler thread for as long as it likes.
  if (batch.size() > MAX_BATCH) {
    return json_rpc_error(
        json_spirit::Value(), JSON_RPC_INVALID_REQUEST,
        "Invalid Request: a batch holds at most " + std::to_string(MAX_BATCH) + " requests");
  }
  return answers_of(batch, [this](const json_spirit::Value& one) { return handle_json(one); });
}

std::string Agent_Host::served_method(const json_spirit::Value& message) const {
  if (message.type() != json_spirit::obj_type) return std::string();
  const auto method = message.get_obj().find("method");
  if (method == message.get_obj().end() || method->second.type() != json_spirit::str_type)
    return std::string();
  const std::string& name = method->second.get_str();
  return methods_.count(name) || handler_for(name) ? name : std::string();
}

json_spirit::Value Agent_Host::handle_json(const json_spirit::Value& message) {
  if (!observer_) return answer_json(message);
  const std::string method = served_method(message);
  observer_->request_started(method);
  const auto started = std::chrono::steady_clock::now();
  json_spirit::Value answer;
  try {
    answer = answer_json(message);
  } catch (...) {
    observer_->request_finished(method,
                                json_rpc_error(json_spirit::Value(), JSON_RPC_INTERNAL_ERROR, ""),
                                std::chrono::steady_clock::now() - started);
    throw;
  }
  observer_->request_finished(method, answer, std::chrono::steady_clock::now() - started);
  return answer;
}

json_spirit::Value Agent_Host::answer_json(const json_spirit::Value& message) {
  JSON_RPC_Object* parsed = parse_json_rpc_object(message, nullptr);
  JSON_RPC_Object_var var(parsed);
  if (!parsed || (parsed->kind() != JSON_RPC_Object::KIND_REQUEST &&
                  parsed->kind() != JSON_RPC_Object::KIND_NOTIFICATION)) {
    return json_rpc_error(json_spirit::Value(), JSON_RPC_INVALID_REQUEST, "Invalid Request");
  }
  const auto& request = static_cast<const JSON_RPC_Request&>(*parsed);
  if (auto own = methods_.find(request.method()); own != methods_.end()) {
    try {
      Request_Log log;
      json_spirit::Value answer = with_cause(own->second.answer(request), log);
      if (parsed->kind() == JSON_RPC_Object::KIND_NOTIFICATION) return json_spirit::Value();
      return answer;
    } catch (const std::exception& e) {
      QC_LOG_ERROR("Host method '%s' failed, exception: %s.\n", request.method().c_str(), e.what());
      return json_rpc_error(request.id(), JSON_RPC_INTERNAL_ERROR, "Internal error");
    }
  }
  JSON_RPC_Handler* handler = handler_for(request.method());
  if (!handler) {
    if (parsed->kind() == JSON_RPC_Object::KIND_NOTIFICATION) return json_spirit::Value();
    return json_rpc_error(request.id(), JSON_RPC_METHOD_NOT_FOUND, "Method not found");
  }
  return dispatch(*handler, var);
}
