#include "api/api_error.h"

namespace qingcloud {

int call_error_number(Call_Stage stage, int ret_code) noexcept {
  switch (stage) {
    case Call_Stage::PREPARE:
    case Call_Stage::DECODE:
      return API_INTERNAL_ERROR;
    case Call_Stage::EXCHANGE:
      return API_NETWORK_ERROR;
    case Call_Stage::ANSWERED:
      return ret_code;
  }
  return API_INTERNAL_ERROR;
}

bool reply_carries_answer(int http_status, bool has_body) noexcept {
  return http_status >= 200 && http_status <= 299 && has_body;
}

}  // namespace qingcloud
