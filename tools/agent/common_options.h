#pragma once

#include <string>
#include <vector>

#include "host/support/secure_string.h"
#include "tools/agent/arg_reader.h"

// The options that several commands share, each group with its help lines
// in one place.
enum Option_Group : unsigned {
  HOME_OPTION = 1,         // --home
  HOST_OPTIONS = 2,        // --plugin, --ca-file, --proxy, --verbose (and --home)
  CONNECTION_OPTIONS = 4,  // --host, --port, --no-ssl, --ca-file, --proxy, the key
};

// Adds the options (with a value) and flags of `groups`.
void add_group_options(unsigned groups, std::vector<std::string>& options,
                       std::vector<std::string>& flags);
// Their help lines, as "  --name VALUE   what it does\n".
std::string group_usage(unsigned groups);

// Where call and client reach the platform, and with which key.
struct Connection {
  std::string host;
  unsigned short port = 0;  // 443, or 80 with --no-ssl, unless given
  bool ssl = true;
  std::string ca_file;
  std::string proxy;
  secure_string access_key_id;
  std::string secret_file;
};

// A TCP port from the command line: 1 to 65535, digits only.
bool parse_port(const std::string& text, unsigned short& port);

// The transport towards the platform, one rule for every command: TLS unless
// --no-ssl is given (--ssl is taken, and changes nothing); then `port`, when
// --port left it 0, is 443, or 80 without TLS.  False when both flags are
// given.
bool choose_tls(bool ssl_given, bool no_ssl_given, bool& ssl, unsigned short& port,
                std::string& error);

// --port, --ssl and --no-ssl of `args`, by those rules; false with the
// problem in `error`.
bool read_port_and_tls(const Arg_Reader& args, unsigned short& port, bool& ssl, std::string& error);

// Reads the CONNECTION_OPTIONS of `args`; false with the problem in `error`.
bool read_connection(const Arg_Reader& args, Connection& connection, std::string& error);

// Makes the HTTP library trust the CA certificates in `ca_file`, for every
// session of this process; false when the file cannot be read.
bool use_ca_file(const std::string& ca_file, std::string& error);
