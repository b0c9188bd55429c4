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

// Reads the CONNECTION_OPTIONS of `args`; false with the problem in `error`.
bool read_connection(const Arg_Reader& args, Connection& connection, std::string& error);

// Makes the HTTP library trust the CA certificates in `ca_file`, for every
// session of this process; false when the file cannot be read.
bool use_ca_file(const std::string& ca_file, std::string& error);
