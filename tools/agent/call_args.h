#pragma once

#include <functional>
#include <string>

#include "host/json_spirit/value.h"
#include "support/secure_string.h"
#include "tools/agent/commands.h"

// What `qingcloud-agent call` was asked to do.
struct Call_Options {
  std::string host;
  unsigned short port = 0;  // 0: 80, or 443 with ssl
  bool ssl = false;
  std::string ca_file;
  bool boss = false;  // POST to "/boss2/" instead of GET to "/iaas/"
  secure_string access_key_id;
  std::string secret_file;
  bool help = false;
  json_spirit::Object params;  // "action" and the parameters of the call
};

extern const char* const CALL_USAGE;

// A TCP port from the command line: 1 to 65535, digits only.
bool parse_port(const std::string& text, unsigned short& port);

// Reads the command line (the arguments after "call").  False with the
// problem in `error` (one line, no trailing period) when it cannot be used.
// The secret is never taken from the command line.
bool parse_call_args(const Command_Args& args, Call_Options& options, std::string& error);

// The secret access key: the content of `secret_file` (one trailing line
// break dropped) when given, else the environment variable
// QINGCLOUD_SECRET_ACCESS_KEY read through `getenv`.  False with the problem
// in `error` when there is none or the file cannot be read.
bool load_secret(const std::string& secret_file,
                 const std::function<const char*(const char*)>& getenv, secure_string& secret,
                 std::string& error);
