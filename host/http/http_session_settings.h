#pragma once

#include <cstddef>
#include <string>

#include "host/http/http_proxy.h"

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
  // The longest one whole exchange may take, in seconds, however steadily
  // its bytes come (HTTP_Session_Factory::EXCHANGE_DEADLINE).
  int exchange_deadline = 0;
  unsigned flags = 0;  // HTTP_Session_Factory::Flags
  HTTP_Proxy proxy;    // empty: straight to the endpoint
};

// "scheme://host:port" + `path`.
std::string http_endpoint_url(const HTTP_Session_Settings& settings, const std::string& path);

// The endpoint's URL of `path`, and the proxy when there is one, for
// messages: never a query string, never the proxy's credentials.
std::string http_printable_url(const HTTP_Session_Settings& settings, const std::string& path);

// What a connection made for these settings can be reused for: scheme,
// host, port, the trusted authorities and the proxy.
std::string http_pool_key(const HTTP_Session_Settings& settings);
