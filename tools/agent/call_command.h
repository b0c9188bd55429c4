#pragma once

#include <cstdio>
#include <cstdlib>
#include <functional>

#include "tools/agent/commands.h"

// Where `qingcloud-agent call` reads its environment and writes its output.
struct Call_IO {
  std::function<const char*(const char*)> getenv = [](const char* name) {
    return std::getenv(name);
  };
  std::FILE* out = stdout;
  std::FILE* err = stderr;
};

// Exit codes of `qingcloud-agent call`.
enum Call_Exit {
  CALL_OK = 0,         // "ret_code" 0; the reply is on the output
  CALL_FAILED = 1,     // network, internal or API error; one line on the error output
  CALL_BAD_USAGE = 2,  // unusable arguments, secret or CA file; one line likewise
};

// Sends one signed request through QingCloud_Session and prints the reply as
// indented JSON.
int run_call(const Command_Args& args, const Call_IO& io);
