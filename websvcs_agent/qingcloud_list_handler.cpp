#include "websvcs_agent/qingcloud_list_handler.h"

#include <cerrno>
#include <new>
#include <string>

#include "api/boss2_client.h"
#include "common/host_info.h"
#include "common/lister.h"
#include "json/extract.h"
#include "json/insert.h"
#include "support/log.h"
#include "support/snprintf.h"

namespace qingcloud {

JSON_RPC_QingCloud_List_Handler::~JSON_RPC_QingCloud_List_Handler() = default;

int JSON_RPC_QingCloud_List_Handler::handle_object_i(JSON_RPC_Channel_var channel,
                                                     JSON_RPC_Object_var obj) {
  if (obj.get() == nullptr || obj->kind() != JSON_RPC_Object::KIND_REQUEST) {
    ACE_ERROR((LM_EMERGENCY, "Unexpected error in %N:%l, obj is not JSON-RPC request!\n"));
    return -1;
  }
  const auto& request = static_cast<const JSON_RPC_Request&>(*obj);
  const json_spirit::Value& id = request.id();
  const json_spirit::Value null;
  if (request.params().type() != json_spirit::obj_type) {
    return channel->send_error(JSON_RPC_INVALID_PARAMS, id,
                               "Invalid params: params type must be object.", null);
  }

  std::string uuid, type, view, moid, search_type, search, zone;
  const std::string* subtype = nullptr;
  try {
    const json_spirit::Object& params = request.params().get_obj();
    extract_or_throw(params)("uuid", uuid)("subtype", subtype);
    extract(params)("type", type)("view", view)("moid", moid)("search_type", search_type)(
        "search", search)("zone", zone);
  } catch (const std::exception& e) {
    QC_LOG_ERROR("Failed to parse params : %s\n", e.what());
    return channel->send_error(JSON_RPC_INVALID_PARAMS, id, "Invalid params", null);
  }

  Host_Info info;
  if (!get_host_info(uuid, info)) {
    return channel->send_error(JSON_RPC_INTERNAL_ERROR, id, "Failed to get host info", null);
  }
  BOSS2_Client client(info.version, info.api_host);
  if (!is_supported_version(info.version)) {
    QC_LOG_ERROR("Unsupported version '%s'.\n", info.version.c_str());
    return channel->send_error(JSON_RPC_INTERNAL_ERROR, id, "Failed to login qingcloud", null);
  }
  if (!client.login(info.boss_host, info.port, info.ssl, info.access_key, info.secret_access_key)) {
    return channel->send_error(JSON_RPC_INTERNAL_ERROR, id, "Failed to login qingcloud", null);
  }

  JSON_RPC_Response* response = new (std::nothrow) JSON_RPC_Response(request);
  if (response == nullptr) {
    errno = ENOMEM;
    QC_LOG_ERROR("Failed to answer a list request, %m.\n");
    return channel->send_error(JSON_RPC_INTERNAL_ERROR, id, "Internal error, out of memory.", null);
  }
  JSON_RPC_Object_var answer(response);
  json_spirit::Array& nodes = to_new_array(response->result());

  Lister lister(std::move(type), std::move(view), std::move(moid), std::move(search_type),
                std::move(search), std::move(zone), client);
  if (*subtype == "inventory") {
    if (!lister.list(nodes)) {
      return channel->send_error(JSON_RPC_INTERNAL_ERROR, id, "Failed to list qingcloud resources",
                                 null);
    }
  } else if (*subtype == "search") {
    if (!lister.search(nodes)) {
      return channel->send_error(JSON_RPC_INTERNAL_ERROR, id,
                                 "Failed to search qingcloud resources", null);
    }
  } else {
    const snprintf_t message("Invalid subtype %s", subtype->c_str());
    return channel->send_error(JSON_RPC_INVALID_PARAMS, id, message.c_str(), null);
  }
  return channel->send(answer);
}

}  // namespace qingcloud

extern "C" {

JSON_RPC_Handler* _make_JSON_RPC_QingCloud_List_Handler(
    JSON_RPC_Handler_Exterminator* exterminator) {
  if (exterminator != nullptr) *exterminator = _gobble_JSON_RPC_QingCloud_List_Handler;
  JSON_RPC_Handler* handler = new (std::nothrow) qingcloud::JSON_RPC_QingCloud_List_Handler();
  if (handler == nullptr) errno = ENOMEM;
  return handler;
}

void _gobble_JSON_RPC_QingCloud_List_Handler(void* handler) {
  delete static_cast<JSON_RPC_Handler*>(handler);
}

}  // extern "C"
