#include "host/agent/json_rpc_handler.h"

#include <exception>
#include <memory>

#include "host/json_spirit/reader.h"
#include "host/support/log.h"

JSON_RPC_Params_Handler::~JSON_RPC_Params_Handler() = default;

JSON_RPC_Handler::~JSON_RPC_Handler() = default;

int JSON_RPC_Handler::init(const json_spirit::Object&) {
  return 0;
}

int JSON_RPC_Handler::fini() {
  return 0;
}

int JSON_RPC_Handler::handle(JSON_RPC_Channel_var channel, const char* text, std::size_t length) {
  json_spirit::Value json;
  std::string why;
  if (text == nullptr || !json_spirit::read({text, length}, json, &why)) {
    QC_LOG_ERROR("JSON-RPC message is not JSON: %s.\n", why.c_str());
    return channel->send_error(JSON_RPC_PARSE_ERROR, json_spirit::Value(), "Parse error",
                               json_spirit::Value());
  }
  JSON_RPC_Object* obj = parse_json_rpc_object(json, &why);
  if (obj == nullptr) {
    QC_LOG_ERROR("Invalid JSON-RPC message: %s.\n", why.c_str());
    return channel->send_error(JSON_RPC_INVALID_REQUEST, json_spirit::Value(), "Invalid Request",
                               json_spirit::Value());
  }
  JSON_RPC_Object_var var(obj);
  return handle_object_post(channel, var, handle_object(channel, var));
}

int JSON_RPC_Handler::handle_object_post(JSON_RPC_Channel_var, JSON_RPC_Object_var, int status) {
  return status;
}

JSON_RPC_Params_Handler* JSON_RPC_Handler::create_params_handler() {
  return nullptr;
}

namespace {

json_spirit::Value request_id(const JSON_RPC_Object_var& obj) {
  if (obj.get() && obj->kind() == JSON_RPC_Object::KIND_REQUEST) {
    return static_cast<const JSON_RPC_Request*>(obj.get())->id();
  }
  return json_spirit::Value();
}

}  // namespace

int JSON_RPC_Thread_Handler::handle_object(JSON_RPC_Channel_var channel, JSON_RPC_Object_var obj) {
  const char* what = nullptr;
  try {
    std::unique_ptr<JSON_RPC_Params_Handler> checker(create_params_handler());
    if (checker && obj.get() && obj->kind() == JSON_RPC_Object::KIND_REQUEST) {
      std::string why;
      const auto* request = static_cast<const JSON_RPC_Request*>(obj.get());
      if (!checker->check(request->params(), why)) {
        return channel->send_error(JSON_RPC_INVALID_PARAMS, request->id(), why.c_str(),
                                   json_spirit::Value());
      }
    }
    return handle_object_i(channel, obj);
  } catch (const std::exception& e) {
    QC_LOG_ERROR("JSON-RPC handler failed, exception: %s.\n", e.what());
    what = "Internal error";
  } catch (...) {
    QC_LOG_ERROR("JSON-RPC handler failed with an unknown exception.\n");
    what = "Internal error";
  }
  return channel->send_error(JSON_RPC_INTERNAL_ERROR, request_id(obj), what, json_spirit::Value());
}
