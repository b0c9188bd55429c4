#pragma once

#include "host/agent/instance_handler.h"

// The instance handler of type "qingcloud".  It does no platform work: it
// reports one fixed proxy instance, always enabled, and accepts every logon.
class QingCloud_Instance_Handler : public Instance_Handler {
 public:
  static constexpr const char* TYPE_NAME = "qingcloud";
  static constexpr const char* PROXY_NAME = "QingCloud_Proxy";

  QingCloud_Instance_Handler();
  ~QingCloud_Instance_Handler() override;

  int probe_instances(instances_type& instances) override;
  std::string& get_state(const char* name, std::string& state) override;
  int logon(const char* name, const char* user, const char* password,
            const json_spirit::Object* options) override;
};

extern "C" {
// Factory and deleter as the host finds them; see the factory convention.
__attribute__((visibility("default"))) Instance_Handler* _make_QingCloud_Instance_Handler(
    Instance_Handler_Exterminator* exterminator);
void _gobble_QingCloud_Instance_Handler(void* handler);
}
