#include "websvcs_agent/qingcloud_login_handler.h"

#include <cerrno>
#include <new>
#include <string>

#include "api/api_error.h"
#include "api/boss2_client.h"
#include "common/host_info.h"
#include "json/insert.h"
#include "support/log.h"
#include "support/snprintf.h"

namespace qingcloud {
namespace {

// Why a login with working settings failed, for the person who typed them.
std::string login_failure(const BOSS2_Client& client, const std::string& boss_host) {
  switch (client.err_code()) {
    case API_NETWORK_ERROR:
      return snprintf_t("Failed to login qingcloud '%s': network error", boss_host.c_str()).c_str();
    case API_INTERNAL_ERROR:
      return snprintf_t("Failed to login qingcloud '%s': internal error", boss_host.c_str())
          .c_str();
    default:
      return snprintf_t("Failed to login qingcloud '%s': errno=%d, %s", boss_host.c_str(),
                        client.err_code(), client.api_err_msg().c_str())
          .c_str();
  }
}

int test_login(JSON_RPC_Channel_var& channel, const JSON_RPC_Request& request) {
  const json_spirit::Value null;
  Host_Info info;
  if (!info.load(request.params()) || !decrypt_rsa_string(info.secret_access_key)) {
    return channel->send_error(JSON_RPC_INVALID_PARAMS, request.id(), "Invalid params", null);
  }

  std::string message;
  if (!is_supported_version(info.version)) {
    message = snprintf_t("Unsupported version '%s'", info.version.c_str()).c_str();
    QC_LOG_ERROR("%s.\n", message.c_str());
  } else {
    BOSS2_Client client(info.version, info.api_host);
    if (!client.login(info.boss_host, info.port, info.ssl, info.access_key,
                      info.secret_access_key)) {
      message = login_failure(client, info.boss_host);
    }
  }

  JSON_RPC_Response* response = new (std::nothrow) JSON_RPC_Response(request);
  if (response == nullptr) {
    errno = ENOMEM;
    QC_LOG_ERROR("Failed to answer a login test, %m.\n");
    return channel->send_error(JSON_RPC_INTERNAL_ERROR, request.id(),
                               "Internal error, out of memory.", null);
  }
  JSON_RPC_Object_var answer(response);
  json_spirit::Object& result = json_spirit::to_new_object(response->result());
  insert(result)("status", message.empty())("message", skip_empty(message));
  return channel->send(answer);
}

}  // namespace

JSON_RPC_QingCloud_Login_Handler::~JSON_RPC_QingCloud_Login_Handler() = default;

int JSON_RPC_QingCloud_Login_Handler::handle_object_i(JSON_RPC_Channel_var channel,
                                                      JSON_RPC_Object_var obj) {
  if (obj.get() == nullptr || obj->kind() != JSON_RPC_Object::KIND_REQUEST) {
    ACE_ERROR((LM_EMERGENCY, "Unexpected error in %N:%l, obj is not JSON-RPC request!\n"));
    return -1;
  }
  const auto& request = static_cast<const JSON_RPC_Request&>(*obj);
  if (request.params().type() != json_spirit::obj_type) {
    return channel->send_error(JSON_RPC_INVALID_PARAMS, request.id(), "Invalid request type.",
                               json_spirit::Value());
  }
  return test_login(channel, request);
}

}  // namespace qingcloud

extern "C" {

JSON_RPC_Handler* _make_JSON_RPC_QingCloud_Login_Handler(
    JSON_RPC_Handler_Exterminator* exterminator) {
  if (exterminator != nullptr) *exterminator = _gobble_JSON_RPC_QingCloud_Login_Handler;
  JSON_RPC_Handler* handler = new (std::nothrow) qingcloud::JSON_RPC_QingCloud_Login_Handler();
  if (handler == nullptr) errno = ENOMEM;
  return handler;
}

void _gobble_JSON_RPC_QingCloud_Login_Handler(void* handler) {
  delete static_cast<JSON_RPC_Handler*>(handler);
}

}  // extern "C"
