#pragma once

#include <mutex>
#include <vector>

#include <ace/Bound_Ptr.h>
#include <ace/Thread_Mutex.h>

#include "host/agent/json_rpc_object.h"

// Where a handler's answers go: the connection to the requester.
class JSON_RPC_Channel {
 public:
  virtual ~JSON_RPC_Channel();

  // Delivers `obj` (a response or an error) to the requester; 0 on success.
  virtual int send(JSON_RPC_Object_var obj) = 0;

  // Answers the request `id` with a JSON-RPC error; returns what `send` returns.
  int send_error(int code, const json_spirit::Value& id, const char* message,
                 const json_spirit::Value& data);
};

// Strong shared reference to a channel.
using JSON_RPC_Channel_var = ACE_Strong_Bound_Ptr<JSON_RPC_Channel, ACE_Thread_Mutex>;

// A channel that keeps what is sent to it, for host programs that answer
// after the handler returns, and for tests.  Safe to use from several threads.
class JSON_RPC_Collecting_Channel : public JSON_RPC_Channel {
 public:
  int send(JSON_RPC_Object_var obj) override;

  std::vector<JSON_RPC_Object_var> sent() const;
  // The last object sent, as its JSON form; null when nothing was sent.
  json_spirit::Value last_json() const;

 private:
  mutable std::mutex mutex_;
  std::vector<JSON_RPC_Object_var> sent_;
};
