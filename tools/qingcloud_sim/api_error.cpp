#include "tools/qingcloud_sim/api_error.h"

#include <boost/json/object.hpp>
#include <boost/json/serialize.hpp>

namespace qingcloud_sim {

Api_Error missing_parameter(const std::string& name) {
  return Api_Error(RET_PARAMETER_ERROR, "ParameterError, parameter [" + name + "] is required");
}

Api_Error invalid_parameter(const std::string& name, const std::string& why) {
  return Api_Error(RET_PARAMETER_ERROR,
                   "ParameterError, the value of parameter [" + name + "] " + why);
}

Api_Error parameter_error(const std::string& detail) {
  return Api_Error(RET_PARAMETER_ERROR, "ParameterError, " + detail);
}

Api_Error auth_failure() {
  return Api_Error(RET_AUTH_FAILURE, AUTH_FAILURE_MESSAGE);
}

Api_Error request_expired(const std::string& time_stamp) {
  return Api_Error(RET_REQUEST_EXPIRED,
                   "RequestExpired, the time_stamp [" + time_stamp + "] is out of the valid range");
}

Api_Error permission_denied(const std::string& detail) {
  return Api_Error(RET_PERMISSION_DENIED, "PermissionDenied, " + detail);
}

Api_Error lease_not_ready(const std::string& resource_id) {
  return permission_denied("resource [" + resource_id +
                           "] lease info not ready yet, please try later");
}

Api_Error resource_not_found(const std::string& id) {
  return Api_Error(RET_RESOURCE_NOT_FOUND, "ResourceNotFound, resource [" + id + "] not found");
}

std::string error_reply(int ret_code, const std::string& message) {
  boost::json::object reply;
  reply["message"] = message;
  reply["ret_code"] = ret_code;
  return boost::json::serialize(reply);
}

}  // namespace qingcloud_sim
