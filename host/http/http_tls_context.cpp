#include "host/http/http_tls_context.h"

#include <mutex>

namespace {

std::mutex& default_mutex() {
  static std::mutex m;
  return m;
}

std::string& default_ca() {
  static std::string ca;
  return ca;
}

}  // namespace

HTTP_TLS_Context::HTTP_TLS_Context(std::string ca_file) : ca_file_(std::move(ca_file)) {}

void HTTP_TLS_Context::set_default_ca_file(std::string ca_file) {
  std::lock_guard<std::mutex> lock(default_mutex());
  default_ca() = std::move(ca_file);
}

std::string HTTP_TLS_Context::default_ca_file() {
  std::lock_guard<std::mutex> lock(default_mutex());
  return default_ca();
}
