#include "tools/agent/proxy_choice.h"

#include "host/http/http_proxy.h"

bool choose_proxy(const std::string& option, const Proxy_Setting& home_setting,
                  std::string& error) {
  if (!no_password_in_argument(option, "--proxy", error)) return false;
  secure_string url(option);
  if (url.empty() && home_setting && !home_setting(url, error)) return false;
  if (url.empty()) return true;
  std::string why;
  if (!http_set_default_proxy({url.data(), url.size()}, why)) {
    error =
        "unusable proxy" + std::string(option.empty() ? " in the home folder" : "") + ": " + why;
    return false;
  }
  return true;
}

bool no_password_in_argument(const std::string& url, const std::string& where, std::string& error) {
  HTTP_Proxy proxy;
  std::string why;
  if (!http_parse_proxy(url, proxy, why) || proxy.password.empty()) return true;
  error = where +
          " holds a password, which every local user can read in the process list; give the "
          "address with `qingcloud-agent config set proxy -` (read from standard input) or in "
          "the environment's https_proxy and http_proxy instead";
  return false;
}
