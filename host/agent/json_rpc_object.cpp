#include "host/agent/json_rpc_object.h"

#include "host/json_spirit/object_get.h"

using json_spirit::Object;
using json_spirit::Value;

namespace {

Object envelope(const Value& id) {
  Object o;
  o["jsonrpc"] = "2.0";
  o["id"] = id;
  return o;
}

bool valid_id(const Value& id) {
  return id.type() == json_spirit::str_type || id.type() == json_spirit::int_type ||
         id.type() == json_spirit::real_type || id.is_null();
}

}  // namespace

JSON_RPC_Object::~JSON_RPC_Object() = default;

JSON_RPC_Request::JSON_RPC_Request(Value id, std::string method, Value params)
    : JSON_RPC_Object(KIND_REQUEST),
      id_(std::move(id)),
      method_(std::move(method)),
      params_(std::move(params)) {}

JSON_RPC_Request::JSON_RPC_Request(std::string method, Value params)
    : JSON_RPC_Object(KIND_NOTIFICATION), method_(std::move(method)), params_(std::move(params)) {}

Value JSON_RPC_Request::to_json() const {
  Object o;
  o["jsonrpc"] = "2.0";
  if (kind() == KIND_REQUEST) o["id"] = id_;
  o["method"] = method_;
  if (!params_.is_null()) o["params"] = params_;
  return o;
}

JSON_RPC_Response::JSON_RPC_Response(const JSON_RPC_Request& request)
    : JSON_RPC_Object(KIND_RESPONSE), id_(request.id()) {}

Value JSON_RPC_Response::to_json() const {
  Object o = envelope(id_);
  o["result"] = result_;
  return o;
}

JSON_RPC_Error::JSON_RPC_Error(Value id, int code, std::string message, Value data)
    : JSON_RPC_Object(KIND_ERROR),
      id_(std::move(id)),
      code_(code),
      message_(std::move(message)),
      data_(std::move(data)) {}

Value JSON_RPC_Error::to_json() const {
  Object error;
  error["code"] = code_;
  error["message"] = message_;
  error["data"] = data_;
  Object o = envelope(id_);
  o["error"] = std::move(error);
  return o;
}

JSON_RPC_Object* parse_json_rpc_object(const Value& json, std::string* error) {
  auto fail = [error](const char* why) -> JSON_RPC_Object* {
    if (error) *error = why;
    return nullptr;
  };
  if (json.type() != json_spirit::obj_type) return fail("message is not an object");
  const Object& o = json.get_obj();
  const std::string* version = json_spirit::object_get_str(o, "jsonrpc");
  if (!version || *version != "2.0") return fail("member 'jsonrpc' is not \"2.0\"");

  const Value* id = json_spirit::object_get_value(o, "id");
  if (id && !valid_id(*id)) return fail("member 'id' is of a kind JSON-RPC does not allow");

  if (const std::string* method = json_spirit::object_get_str(o, "method")) {
    const Value* params = json_spirit::object_get_value(o, "params");
    Value p = params ? *params : Value();
    if (!id) return new JSON_RPC_Request(*method, std::move(p));
    return new JSON_RPC_Request(*id, *method, std::move(p));
  }
  if (!id) return fail("message has neither 'method' nor 'id'");
  if (const Value* result = json_spirit::object_get_value(o, "result")) {
    JSON_RPC_Request call(*id, "", Value());
    auto* response = new JSON_RPC_Response(call);
    response->result() = *result;
    return response;
  }
  if (const Object* err = json_spirit::object_get_object(o, "error")) {
    int code = 0;
    std::string message;
    if (!json_spirit::object_get(*err, "code", code) ||
        !json_spirit::object_get(*err, "message", message)) {
      return fail("member 'error' lacks 'code' or 'message'");
    }
    const Value* data = json_spirit::object_get_value(*err, "data");
    return new JSON_RPC_Error(*id, code, std::move(message), data ? *data : Value());
  }
  return fail("message has neither 'method', 'result' nor 'error'");
}
