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

bool action_changes_resources(const std::string& action) noexcept {
  // The back office's own actions carry its prefix: "Boss2DescribeBots".
  const std::size_t name = action.rfind("Boss2", 0) == 0 ? 5 : 0;
  return action.compare(name, 8, "Describe") != 0 && action.compare(name, 3, "Get") != 0;
}

}  // namespace qingcloud
