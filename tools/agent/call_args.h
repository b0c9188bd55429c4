#pragma once

#include <functional>
#include <string>
#include <unistd.h>

#include "host/json_spirit/value.h"
#include "support/secure_string.h"
#include "tools/agent/arg_reader.h"
#include "tools/agent/common_options.h"

// What `qingcloud-agent call` was asked to do.
struct Call_Options {
  Connection connection;
  bool boss = false;           // POST to "/boss2/" instead of GET to "/iaas/"
  json_spirit::Object params;  // "action" and the parameters of the call
};

// A TCP port from the command line: 1 to 65535, digits only.
bool parse_port(const std::string& text, unsigned short& port);

// The transport towards the platform, one rule for every command: TLS unless
// --no-ssl is given (--ssl is taken, and changes nothing); then `port`, when
// --port left it 0, is 443, or 80 without TLS.  False when both flags are
// given.
bool choose_tls(bool ssl_given, bool no_ssl_given, bool& ssl, unsigned short& port,
                std::string& error);

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
