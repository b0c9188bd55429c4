#pragma once

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <unistd.h>

#include "tools/agent/commands.h"
#include "tools/agent/exit_code.h"

// Where `qingcloud-agent call` reads its environment and writes its output.
struct Call_IO {
  std::function<const char*(const char*)> getenv = [](const char* name) {
    return std::getenv(name);
  };
  std::FILE* out = stdout;
  std::FILE* err = stderr;
  int terminal = STDIN_FILENO;  // where the secret may be asked for; -1: nowhere
};

// `qingcloud-agent call ARGS` with `io` (CALL_COMMAND runs it with the
// process's own): sends one signed request through QingCloud_Session and
// prints the reply as indented JSON.  Exits with an Exit_Code.
int run_call(const Command_Args& args, const Call_IO& io);

class Log_Lines;

// Why a call failed, in one line: its error number (`err_code`) and the
// platform's message, or else the first thing that was logged.
std::string failure_line(int err_code, const std::string& api_err_msg, const Log_Lines& lines);
