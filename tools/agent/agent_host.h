#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "host/agent/json_rpc_handler.h"
#include "host/json_spirit/value.h"
#include "tools/agent/agent_home.h"
#include "tools/agent/plugin_loader.h"
#include "tools/agent/request_log.h"
#include "tools/agent/request_observer.h"

// The host that the plug-in's JSON-RPC handlers run in: the handlers made by
// the plug-in's exported factories, and the host's own method
// "qingcloud.query" answering the settings kept in the home.  Requests go
// through the framework's dispatch, so a handler that throws is answered
// -32603 and the host goes on.  `request` and `handle_text` may be called
// from several threads at once.
class Agent_Host {
 public:
  // The methods the console calls, and where they go.
  static constexpr const char* LIST_METHOD = "qingcloud.list";
  static constexpr const char* LOGIN_METHOD = "qingcloud.login";
  // The requests one batch may hold; a larger one gets one -32600 error.
  static constexpr std::size_t MAX_BATCH = 100;

  Agent_Host() = default;
  ~Agent_Host();
  Agent_Host(const Agent_Host&) = delete;
  Agent_Host& operator=(const Agent_Host&) = delete;

  // Loads the plug-in at `plugin_path` and makes both handlers; serves
  // "qingcloud.query" from `home`, which must outlive this host.
  bool start(const Agent_Home& home, const std::string& plugin_path, std::string& error);

  // A method of the host's own, answered beside the plug-in's: it gets the
  // request and returns the answer (a response or an error).  Added before
  // requests arrive; it may be called from several threads at once.
  using Host_Method = std::function<json_spirit::Value(const JSON_RPC_Request&)>;
  // Whether answering a request with these params waits for the platform,
  // as the plug-in's do; none: never.
  using Reach = std::function<bool(const json_spirit::Value& params)>;
  void add_method(const std::string& name, Host_Method method, Reach reaches_platform = nullptr);

  // Told of every request that handle_json answers; set before requests
  // arrive, and outlives them.
  void observe_requests(Request_Observer* observer) { observer_ = observer; }

  // One request of `method`: the answer sent (a response or an error), or
  // null when the handler sent none.
  json_spirit::Value request(const std::string& method, const json_spirit::Value& params,
                             const json_spirit::Value& id = 1);

  // One JSON-RPC message (or batch) as text: its answer (an array for a
  // batch), or null when only notifications came.  Text that is not JSON gets
  // -32700, a message that is no request (or a batch of more than MAX_BATCH)
  // -32600, an unknown method -32601.
  json_spirit::Value handle_text(const std::string& text);
  // The same for a message (or batch) already read as JSON.
  json_spirit::Value handle_message(const json_spirit::Value& message);
  // One request (no batch) already read as JSON.
  json_spirit::Value handle_json(const json_spirit::Value& message);

  // Whether answering `message` (or any request of a batch) waits for the
  // platform: the plug-in's methods and the host's own marked so.
  bool reaches_platform(const json_spirit::Value& message) const;
  // What `message` gets when it cannot be answered now: each of its
  // requests the error -32603 with `why`, as handle_message would shape
  // them (nothing for notifications, an array for a batch).
  json_spirit::Value busy_answer(const json_spirit::Value& message, const std::string& why) const;

 private:
  JSON_RPC_Handler* handler_for(const std::string& method) const;
  std::string served_method(const json_spirit::Value& message) const;
  json_spirit::Value answer_json(const json_spirit::Value& message);
  json_spirit::Value dispatch(JSON_RPC_Handler& handler, JSON_RPC_Object_var message);

  Plugin_Library plugin_;
  JSON_RPC_Handler* list_ = nullptr;
  JSON_RPC_Handler_Exterminator gobble_list_ = nullptr;
  JSON_RPC_Handler* login_ = nullptr;
  JSON_RPC_Handler_Exterminator gobble_login_ = nullptr;
  bool serving_query_ = false;
  struct Own_Method {
    Host_Method answer;
    Reach reaches_platform;  // none: it never does
  };
  std::map<std::string, Own_Method> methods_;
  Request_Observer* observer_ = nullptr;
};

// A JSON-RPC error answer as the host writes it.
json_spirit::Value json_rpc_error(const json_spirit::Value& id, int code,
                                  const std::string& message);

// `answer`, when it is an error without data, with what `log` kept of its
// cause as its data (failure_cause); the code and message stay.
json_spirit::Value with_cause(json_spirit::Value answer, const Request_Log& log);
