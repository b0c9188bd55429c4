#include "host/agent/json_rpc_channel.h"

JSON_RPC_Channel::~JSON_RPC_Channel() = default;

int JSON_RPC_Channel::send_error(int code, const json_spirit::Value& id, const char* message,
                                 const json_spirit::Value& data) {
  JSON_RPC_Object_var error(new JSON_RPC_Error(id, code, message ? message : "", data));
  return send(error);
}

int JSON_RPC_Collecting_Channel::send(JSON_RPC_Object_var obj) {
  std::lock_guard<std::mutex> lock(mutex_);
  sent_.push_back(obj);
  return 0;
}

std::vector<JSON_RPC_Object_var> JSON_RPC_Collecting_Channel::sent() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return sent_;
}

json_spirit::Value JSON_RPC_Collecting_Channel::last_json() const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (sent_.empty()) return json_spirit::Value();
  return sent_.back()->to_json();
}
