#pragma once

#include <stdexcept>
#include <string>

namespace qingcloud_sim {

// The platform's error numbers ("ret_code").  Errors travel as HTTP 200 with
// {"ret_code": N, "message": "<Name>, <detail>"}.
enum Ret_Code : int {
  RET_OK = 0,
  RET_PARAMETER_ERROR = 1100,  // missing or malformed parameter
  RET_INVALID_ACTION = 1101,   // unknown action
  RET_AUTH_FAILURE = 1200,     // unknown key or signature mismatch
  RET_REQUEST_EXPIRED = 1300,  // time stamp too far from the platform's clock
  RET_PERMISSION_DENIED = 1400,
  RET_RESOURCE_NOT_FOUND = 2100,
  RET_INTERNAL_ERROR = 5000,
};

// Thrown by request handling; turned into the error reply at the edge.
class Api_Error : public std::runtime_error {
 public:
  Api_Error(int ret_code, const std::string& message)
      : std::runtime_error(message), ret_code_(ret_code) {}
  int ret_code() const { return ret_code_; }

 private:
  int ret_code_;
};

const char* const AUTH_FAILURE_MESSAGE = "AuthFailure, signature not matched";

// Builders of the usual messages.
Api_Error missing_parameter(const std::string& name);
Api_Error invalid_parameter(const std::string& name, const std::string& why);
Api_Error parameter_error(const std::string& detail);
Api_Error auth_failure();
Api_Error request_expired(const std::string& time_stamp);
Api_Error permission_denied(const std::string& detail);
Api_Error lease_not_ready(const std::string& resource_id);
Api_Error resource_not_found(const std::string& id);

// The reply text of an error: {"message":"...","ret_code":N}, as the platform orders it.
std::string error_reply(int ret_code, const std::string& message);

}  // namespace qingcloud_sim
