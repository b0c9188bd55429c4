#pragma once

#include <functional>
#include <string>

#include "host/support/secure_string.h"

// Where the home folder's "proxy" setting comes from: true with it (empty
// when unset), or false with the problem.
using Proxy_Setting = std::function<bool(secure_string& url, std::string& error)>;

// Sets the HTTP library's host-wide proxy for a command: `option` (--proxy)
// when given, else the home folder's setting when there is a home, else
// nothing, and the library takes the environment's proxy variables.  False,
// with the problem in `error` (which never holds the proxy's credentials),
// for an unusable proxy address, an unreadable setting, or a --proxy with a
// password.
bool choose_proxy(const std::string& option, const Proxy_Setting& home_setting, std::string& error);

// Whether a proxy address given on the command line (`where` names it in
// the message: "--proxy") is free of a password, which every local user
// could read in the process list; false with the line that names the safe
// ways.  An address that is not usable at all is left to its parser.
bool no_password_in_argument(const std::string& url, const std::string& where, std::string& error);
