#pragma once

#include <cstdio>
#include <string>

// What every command of qingcloud-agent exits with.
enum Exit_Code {
  EXIT_OK = 0,
  EXIT_FAILED = 1,     // a failed request, login test or store write
  EXIT_BAD_USAGE = 2,  // unusable arguments, secret, home folder or plug-in
};

// The one form of a command's failure: "qingcloud-agent COMMAND: LINE" (or
// "qingcloud-agent: LINE" without a command) on `out`, its control
// characters escaped; returns `code`.
int command_fail(const std::string& command, int code, const std::string& line,
                 std::FILE* out = stderr);
