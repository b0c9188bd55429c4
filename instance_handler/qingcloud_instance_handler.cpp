#include "instance_handler/qingcloud_instance_handler.h"

#include <cerrno>
#include <memory>
#include <new>

#include "support/log.h"

QingCloud_Instance_Handler::QingCloud_Instance_Handler() : Instance_Handler(TYPE_NAME) {}

QingCloud_Instance_Handler::~QingCloud_Instance_Handler() = default;

int QingCloud_Instance_Handler::probe_instances(instances_type& instances) {
  // The host calls this directly: no exception may reach it.
  try {
    auto proxy = std::make_shared<Instance>();
    proxy->name = PROXY_NAME;
    proxy->type = TYPE_NAME;
    proxy->options["is_proxy"] = true;
    instances[PROXY_NAME] = std::move(proxy);
    return 0;
  } catch (const std::exception& e) {
    errno = ENOMEM;
    QC_LOG_ERROR("Failed to probe instances, exception: %s.\n", e.what());
    return -1;
  }
}

std::string& QingCloud_Instance_Handler::get_state(const char*, std::string& state) {
  state = "enabled";
  return state;
}

int QingCloud_Instance_Handler::logon(const char*, const char*, const char*,
                                      const json_spirit::Object*) {
  return 0;
}

extern "C" {

Instance_Handler* _make_QingCloud_Instance_Handler(Instance_Handler_Exterminator* exterminator) {
  if (exterminator != nullptr) *exterminator = _gobble_QingCloud_Instance_Handler;
  Instance_Handler* handler = new (std::nothrow) QingCloud_Instance_Handler();
  if (handler == nullptr) errno = ENOMEM;
  return handler;
}

void _gobble_QingCloud_Instance_Handler(void* handler) {
  delete static_cast<Instance_Handler*>(handler);
}

}  // extern "C"
