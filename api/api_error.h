#pragma once

#include <string>

namespace qingcloud {

// Error numbers of a platform call (QingCloud_Session::err_code): 0 success,
// -1 internal error, -2 network error, any other value the platform's "ret_code".
constexpr int API_SUCCESS = 0;
constexpr int API_INTERNAL_ERROR = -1;
constexpr int API_NETWORK_ERROR = -2;

// How far a call got.  The stage alone fixes the error number of a call that
// ends there, except for an answer, which carries the platform's own.
enum class Call_Stage {
  PREPARE,   // building and signing the request
  EXCHANGE,  // sending, receiving, the HTTP status, the presence of a body
  DECODE,    // reading the body as JSON and finding "ret_code"
  ANSWERED,  // the platform's "ret_code" was read
};

// The one place that turns a call's outcome into its error number.
int call_error_number(Call_Stage stage, int ret_code = API_SUCCESS) noexcept;

// Whether an HTTP reply can carry an API answer: a 2xx status and a body.
bool reply_carries_answer(int http_status, bool has_body) noexcept;

// Whether a call of `action` changes resources: every action but the
// platform's queries ("Describe...", "Get...", and the back office's own
// "Boss2Describe..." and "Boss2Get...").  Such a call is sent at
// most once, and when it fails after it was sent, whether the platform
// carried it out is unknown.
bool action_changes_resources(const std::string& action) noexcept;

}  // namespace qingcloud
