#include "tools/agent/proxy_choice.h"

#include "host/http/http_proxy.h"
#include "tools/agent/agent_home.h"
#include "tools/agent/proxy_argument.h"

bool choose_proxy(const std::string& option, const Agent_Home* home, std::string& error) {
  if (!no_password_in_argument(option, "--proxy", error)) return false;
  secure_string url(option);
  if (url.empty() && home != nullptr && !home->setting("proxy", url, error)) return false;
  if (url.empty()) return true;
  std::string why;
  if (!http_set_default_proxy({url.data(), url.size()}, why)) {
    error =
        "unusable proxy" + std::string(option.empty() ? " in the home folder" : "") + ": " + why;
    return false;
  }
  return true;
}
