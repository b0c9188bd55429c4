#pragma once

#include <string>

// Whether a proxy address given on the command line (`where` names it in
// the message: "--proxy") is free of a password, which every local user
// could read in the process list; false with the line that names the safe
// ways.  An address that is not usable at all is left to its parser.
bool no_password_in_argument(const std::string& url, const std::string& where, std::string& error);
