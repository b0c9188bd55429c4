#include "host/agent/instance_handler.h"

Instance_Handler::Instance_Handler(std::string type_name) : type_name_(std::move(type_name)) {}

Instance_Handler::~Instance_Handler() = default;

int Instance_Handler::init(const json_spirit::Object&) {
  return 0;
}

int Instance_Handler::fini() {
  return 0;
}

int Instance_Handler::probe_instances(instances_type&) {
  return 0;
}

std::string& Instance_Handler::get_state(const char*, std::string& state) {
  state = "unknown";
  return state;
}

int Instance_Handler::get_states(const instances_type& instances,
                                 std::map<std::string, std::string>& states) {
  for (const auto& entry : instances) {
    std::string state;
    states[entry.first] = get_state(entry.first.c_str(), state);
  }
  return 0;
}

int Instance_Handler::logon(const char*, const char*, const char*, const json_spirit::Object*) {
  return -1;
}

int Instance_Handler::logoff(const char*, const char*) {
  return 0;
}

int Instance_Handler::update_options(const char*, const json_spirit::Object&) {
  return 0;
}
