#pragma once

#include "host/agent/json_rpc_handler.h"

namespace qingcloud {

// Tests a set of connection settings (the params of the request, with the
// secret encrypted for the host's key): answers {"status": true} when the
// back-office login works, else {"status": false, "message": why}.  JSON-RPC
// errors only for malformed requests and exhausted memory.  Stateless.
class JSON_RPC_QingCloud_Login_Handler : public JSON_RPC_Thread_Handler {
 public:
  ~JSON_RPC_QingCloud_Login_Handler() override;

  int handle_object_i(JSON_RPC_Channel_var channel, JSON_RPC_Object_var obj) override;
};

}  // namespace qingcloud

extern "C" {
// Factory and deleter as the host finds them; see the factory convention.
__attribute__((visibility("default"))) JSON_RPC_Handler* _make_JSON_RPC_QingCloud_Login_Handler(
    JSON_RPC_Handler_Exterminator* exterminator);
void _gobble_JSON_RPC_QingCloud_Login_Handler(void* handler);
}
