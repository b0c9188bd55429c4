#pragma once

#include <string>
#include <vector>

#include "host/json_spirit/value.h"

// One plain sentence on what to do about a failure whose cause the plug-in
// logged (`lines`, as a Request_Log keeps them: the connection refused, TLS
// against a plain endpoint, the platform's ret_code ...), or "" when no
// known cause is among them.  The table of causes is in failure_hint.cpp.
std::string failure_hint(const std::vector<std::string>& lines);

// What a failed answer carries of its cause: {"log": [the lines], "hint":
// the hint} ("hint" only when one is known).
json_spirit::Object failure_cause(const std::vector<std::string>& lines);
