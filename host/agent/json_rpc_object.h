#pragma once

#include <string>

#include <ace/Refcounted_Auto_Ptr.h>
#include <ace/Thread_Mutex.h>

#include "host/json_spirit/value.h"

// JSON-RPC 2.0 messages as the host agent passes them to handlers.
class JSON_RPC_Object {
 public:
  // Kind codes; handlers only ever answer KIND_REQUEST.
  enum Kind {
    KIND_INVALID = 0,
    KIND_NOTIFICATION = 1,
    KIND_REQUEST = 2,
    KIND_RESPONSE = 3,
    KIND_ERROR = 4,
  };

  explicit JSON_RPC_Object(int kind) noexcept : kind_(kind) {}
  virtual ~JSON_RPC_Object();

  int kind() const noexcept { return kind_; }

  // The message as it goes on the wire.
  virtual json_spirit::Value to_json() const = 0;

 private:
  int kind_;
};

// Reference-counted owner of a message.
using JSON_RPC_Object_var = ACE_Refcounted_Auto_Ptr<JSON_RPC_Object, ACE_Thread_Mutex>;

// A call (with id) or a notification (without).
class JSON_RPC_Request : public JSON_RPC_Object {
 public:
  JSON_RPC_Request(json_spirit::Value id, std::string method, json_spirit::Value params);
  // A notification: no id, no answer expected.
  JSON_RPC_Request(std::string method, json_spirit::Value params);

  const json_spirit::Value& id() const noexcept { return id_; }
  const std::string& method() const noexcept { return method_; }
  const json_spirit::Value& params() const noexcept { return params_; }

  json_spirit::Value to_json() const override;

 private:
  json_spirit::Value id_;
  std::string method_;
  json_spirit::Value params_;
};

// The successful answer to a request; the handler fills its result.
class JSON_RPC_Response : public JSON_RPC_Object {
 public:
  explicit JSON_RPC_Response(const JSON_RPC_Request& request);

  const json_spirit::Value& id() const noexcept { return id_; }
  json_spirit::Value& result() noexcept { return result_; }
  const json_spirit::Value& result() const noexcept { return result_; }

  json_spirit::Value to_json() const override;

 private:
  json_spirit::Value id_;
  json_spirit::Value result_;
};

// The failed answer to a request.
class JSON_RPC_Error : public JSON_RPC_Object {
 public:
  JSON_RPC_Error(json_spirit::Value id, int code, std::string message, json_spirit::Value data);

  const json_spirit::Value& id() const noexcept { return id_; }
  int code() const noexcept { return code_; }
  const std::string& message() const noexcept { return message_; }
  const json_spirit::Value& data() const noexcept { return data_; }

  json_spirit::Value to_json() const override;

 private:
  json_spirit::Value id_;
  int code_;
  std::string message_;
  json_spirit::Value data_;
};

// Standard JSON-RPC error codes used by the framework and the handlers.
enum JSON_RPC_Error_Code {
  JSON_RPC_PARSE_ERROR = -32700,
  JSON_RPC_INVALID_REQUEST = -32600,
  JSON_RPC_METHOD_NOT_FOUND = -32601,
  JSON_RPC_INVALID_PARAMS = -32602,
  JSON_RPC_INTERNAL_ERROR = -32603,
};

// Reads one JSON-RPC message from its JSON form.  A value that is not a
// well-formed request, notification, response or error gives null and, when
// `error` is given, the reason there.
JSON_RPC_Object* parse_json_rpc_object(const json_spirit::Value& json, std::string* error);
