#include "tools/agent/proxy_argument.h"

#include "host/http/http_proxy.h"

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
