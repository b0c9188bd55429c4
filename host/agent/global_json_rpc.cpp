#include "host/agent/global_json_rpc.h"

#include <map>
#include <mutex>
#include <shared_mutex>

#include "host/support/log.h"

namespace {

struct Registry {
  std::shared_mutex mutex;
  std::map<std::string, Global_JSON_RPC_Method> methods;
};

Registry& registry() {
  static Registry r;
  return r;
}

}  // namespace

void register_global_json_rpc(const std::string& method, Global_JSON_RPC_Method fn) {
  Registry& r = registry();
  std::unique_lock<std::shared_mutex> lock(r.mutex);
  r.methods[method] = std::move(fn);
}

void unregister_global_json_rpc(const std::string& method) {
  Registry& r = registry();
  std::unique_lock<std::shared_mutex> lock(r.mutex);
  r.methods.erase(method);
}

bool global_json_rpc(const char* method, const json_spirit::Value& params, int,
                     json_spirit::Value* result, json_spirit::Value_type expected, int) {
  if (method == nullptr || result == nullptr) return false;
  Global_JSON_RPC_Method fn;
  {
    Registry& r = registry();
    std::shared_lock<std::shared_mutex> lock(r.mutex);
    auto it = r.methods.find(method);
    if (it != r.methods.end()) fn = it->second;
  }
  if (!fn) {
    QC_LOG_ERROR("Host method '%s' is not served.\n", method);
    return false;
  }
  json_spirit::Value answer;
  try {
    if (!fn(params, answer)) return false;
  } catch (const std::exception& e) {
    QC_LOG_ERROR("Host method '%s' failed, exception: %s.\n", method, e.what());
    return false;
  }
  if (answer.type() != expected) {
    QC_LOG_ERROR("Host method '%s' answered %s, expected %s.\n", method,
                 json_spirit::value_type_name(answer.type()),
                 json_spirit::value_type_name(expected));
    return false;
  }
  *result = std::move(answer);
  return true;
}
