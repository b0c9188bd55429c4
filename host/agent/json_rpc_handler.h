#pragma once

#include <cstddef>
#include <string>

#include "host/agent/json_rpc_channel.h"
#include "host/json_spirit/value.h"

// Checks the params of a request before the handler sees it.
class JSON_RPC_Params_Handler {
 public:
  virtual ~JSON_RPC_Params_Handler();
  // False, with the reason in `why`, when the params are unacceptable.
  virtual bool check(const json_spirit::Value& params, std::string& why) = 0;
};

// Base of every JSON-RPC request handler the host loads.
class JSON_RPC_Handler {
 public:
  virtual ~JSON_RPC_Handler();

  // Called once after the handler is made, and once before it is deleted.
  virtual int init(const json_spirit::Object& options);
  virtual int fini();

  // Parses one message received as text and passes it to `handle_object`.
  // Text that is not JSON is answered with -32700, a message that is not
  // JSON-RPC with -32600.
  virtual int handle(JSON_RPC_Channel_var channel, const char* text, std::size_t length);

  // Handles one received message; returns the handler's status.
  virtual int handle_object(JSON_RPC_Channel_var channel, JSON_RPC_Object_var obj) = 0;

  // Runs after `handle_object` with its status; returns the final status.
  virtual int handle_object_post(JSON_RPC_Channel_var channel, JSON_RPC_Object_var obj, int status);

  // A checker for the params of requests, or null (the default) for none.
  // The caller owns the result.
  virtual JSON_RPC_Params_Handler* create_params_handler();
};

// Deletes a handler made by a plug-in factory; ignores null.
typedef void (*JSON_RPC_Handler_Exterminator)(void*);

// A handler whose requests run on the host's handler threads, several at once.
// Subclasses implement `handle_object_i`; the framework calls it for every
// message and answers -32603 itself when it lets an exception escape, so that
// no handler fault takes the host process down.
class JSON_RPC_Thread_Handler : public JSON_RPC_Handler {
 public:
  int handle_object(JSON_RPC_Channel_var channel, JSON_RPC_Object_var obj) override;

  virtual int handle_object_i(JSON_RPC_Channel_var channel, JSON_RPC_Object_var obj) = 0;
};
