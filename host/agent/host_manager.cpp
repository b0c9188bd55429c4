#include "host/agent/host_manager.h"

Host_Manager* Host_Manager::instance() {
  static Host_Manager manager;
  return &manager;
}

secure_string Host_Manager::rsa_prvkey() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return rsa_prvkey_;
}

void Host_Manager::rsa_prvkey(secure_string pem) {
  std::lock_guard<std::mutex> lock(mutex_);
  rsa_prvkey_ = std::move(pem);
}
