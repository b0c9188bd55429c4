#pragma once

#include "host/agent/json_rpc_handler.h"

namespace qingcloud {

// Answers the console's inventory requests for an environment the host
// knows by uuid: one level of the tree ("subtype" "inventory") or a search
// ("search"), as a JSON array of inventory nodes.  Every failure is a
// JSON-RPC error.  Stateless: each request builds its own settings, client
// and lister, so requests may run on several host threads at once.
class JSON_RPC_QingCloud_List_Handler : public JSON_RPC_Thread_Handler {
 public:
  ~JSON_RPC_QingCloud_List_Handler() override;

  int handle_object_i(JSON_RPC_Channel_var channel, JSON_RPC_Object_var obj) override;
};

}  // namespace qingcloud

extern "C" {
// Factory and deleter as the host finds them; see the factory convention.
__attribute__((visibility("default"))) JSON_RPC_Handler* _make_JSON_RPC_QingCloud_List_Handler(
    JSON_RPC_Handler_Exterminator* exterminator);
void _gobble_JSON_RPC_QingCloud_List_Handler(void* handler);
}
