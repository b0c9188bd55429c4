#pragma once

#include <string>

class Agent_Home;

// Sets the HTTP library's host-wide proxy for a command: `option` (--proxy)
// when given, else the home folder's "proxy" setting when there is a home,
// else nothing, and the library takes the environment's proxy variables.
// False, with the problem in `error` (which never holds the proxy's
// credentials), for an unusable proxy address or an unreadable setting.
// A --proxy with a password is refused: every local user can read a
// process's command line.
bool choose_proxy(const std::string& option, const Agent_Home* home, std::string& error);
