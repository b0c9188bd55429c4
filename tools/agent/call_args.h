#pragma once

#include <functional>
#include <string>
#include <unistd.h>

#include "host/json_spirit/value.h"
#include "support/secure_string.h"
#include "tools/agent/commands.h"

// What `qingcloud-agent call` was asked to do.
struct Call_Options {
  std::string host;
  unsigned short port = 0;  // after parsing: 443, or 80 with --no-ssl, unless given
  bool ssl = true;
  std::string ca_file;
  std::string proxy;  // --proxy: the HTTP proxy on the way, else the environment's
  bool boss = false;  // POST to "/boss2/" instead of GET to "/iaas/"
  secure_string access_key_id;
  std::string secret_file;
  bool help = false;
  json_spirit::Object params;  // "action" and the parameters of the call
};

extern const char* const CALL_USAGE;

// A TCP port from the command line: 1 to 65535, digits only.
bool parse_port(const std::string& text, unsigned short& port);

// The transport towards the platform, one rule for every command: TLS unless
// --no-ssl is given (--ssl is taken, and changes nothing); then `port`, when
// --port left it 0, is 443, or 80 without TLS.  False when both flags are
// given.
bool choose_tls(bool ssl_given, bool no_ssl_given, bool& ssl, unsigned short& port,
                std::string& error);

// Reads the command line (the arguments after "call").  False with the
// problem in `error` (one line, no trailing period) when it cannot be used.
// The secret is never taken from the command line.
bool parse_call_args(const Command_Args& args, Call_Options& options, std::string& error);

// The secret access key: the content of `secret_file` (one trailing line
// break dropped) when given, else the environment variable
// QINGCLOUD_SECRET_ACCESS_KEY read through `getenv`, else, when standard
// input is a terminal, typed there without echo.  False with the problem in
// `error` when there is none or the file cannot be read.
// `terminal` is the descriptor to ask on (-1: never ask).
bool load_secret(const std::string& secret_file,
                 const std::function<const char*(const char*)>& getenv, secure_string& secret,
                 std::string& error, int terminal = STDIN_FILENO);
