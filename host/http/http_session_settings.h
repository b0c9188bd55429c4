#pragma once

#include <cstddef>
#include <string>

// What an HTTP session was made with (see HTTP_Session_Factory::create).
struct HTTP_Session_Settings {
  std::string host;
  unsigned short port = 0;
  bool ssl = false;
  std::string user_agent;  // empty: no User-Agent field
  std::size_t idle_connections = 0;
  std::string ca_file;   // empty: the system's trust store
  int send_timeout = 0;  // seconds
  int recv_timeout = 0;  // seconds
  int conn_timeout = 0;  // seconds
  unsigned flags = 0;    // HTTP_Session_Factory::Flags
};

// "scheme://host:port" + `path`, for messages: never a query string.
std::string http_printable_url(const HTTP_Session_Settings& settings, const std::string& path);
