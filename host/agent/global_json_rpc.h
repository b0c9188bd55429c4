#pragma once

#include <functional>
#include <string>

#include "host/json_spirit/value.h"

// The host's own JSON-RPC service, as plug-ins call it.  The embedding program
// registers the methods it serves; a plug-in calls them by name.

// A method: true, with its answer in `result`, on success.
using Global_JSON_RPC_Method =
    std::function<bool(const json_spirit::Value& params, json_spirit::Value& result)>;

// Registers (or replaces) `method`.  Thread-safe.
void register_global_json_rpc(const std::string& method, Global_JSON_RPC_Method fn);
void unregister_global_json_rpc(const std::string& method);

// Calls `method` with `params`.  True when the method exists, succeeded and
// answered a value of the `expected` kind, which is then in `*result`.
// `version` is the protocol version of the call (1); `timeout_ms` -1 waits as
// long as the method takes.
bool global_json_rpc(const char* method, const json_spirit::Value& params, int version,
                     json_spirit::Value* result, json_spirit::Value_type expected, int timeout_ms);
