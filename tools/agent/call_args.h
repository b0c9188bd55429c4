#pragma once

#include <functional>
#include <string>
#include <unistd.h>

#include "host/json_spirit/value.h"
#include "host/support/secure_string.h"
#include "tools/agent/arg_reader.h"
#include "tools/agent/common_options.h"

// What `qingcloud-agent call` was asked to do.
struct Call_Options {
  Connection connection;
  bool boss = false;           // POST to "/boss2/" instead of GET to "/iaas/"
  json_spirit::Object params;  // "action" and the parameters of the call
};

// Reads call's arguments.  False with the problem in `error` (one line, no
// trailing period) when they cannot be used.
bool parse_call_args(const Arg_Reader& args, Call_Options& options, std::string& error);

// The secret access key: the content of `secret_file` (one trailing line
// break dropped) when given, else the environment variable
// QINGCLOUD_SECRET_ACCESS_KEY read through `getenv`, else, when standard
// input is a terminal, typed there without echo.  False with the problem in
// `error` when there is none or the file cannot be read.
// `terminal` is the descriptor to ask on (-1: never ask).
bool load_secret(const std::string& secret_file,
                 const std::function<const char*(const char*)>& getenv, secure_string& secret,
                 std::string& error, int terminal = STDIN_FILENO);
