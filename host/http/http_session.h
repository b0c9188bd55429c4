#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "host/http/cgi_response.h"
#include "host/http/curl_handles.h"
#include "host/http/http_connection.h"
#include "host/http/http_request.h"
#include "host/http/http_session_settings.h"

class HTTP_Session;
using HTTP_Session_var = std::shared_ptr<HTTP_Session>;

// One endpoint of the HTTP client library.  Requests go out over kept-alive
// connections: a released connection waits in the process's pool for reuse,
// by this session or a later one to the same endpoint, while fewer than the
// session's idle limit wait there.  Thread-safe; each connection belongs to
// one thread at a time.  Made by HTTP_Session_Factory.
class HTTP_Session : public std::enable_shared_from_this<HTTP_Session> {
  struct Key {
    explicit Key() = default;
  };

 public:
  HTTP_Session(Key, HTTP_Session_Settings settings);
  HTTP_Session(const HTTP_Session&) = delete;
  HTTP_Session& operator=(const HTTP_Session&) = delete;

  // Sends `request`.  With `response` the whole exchange runs now and the
  // response head is read into it; without, only the head is taken and the
  // caller writes the body and reads the head on the connection.  Null on
  // failure (logged).
  HTTP_Connection_var send(const HTTP_Request& request, CGI_Response* response);

  const HTTP_Session_Settings& settings() const noexcept { return settings_; }
  // Connections to this endpoint waiting for reuse.
  std::size_t idle_connections() const;

 private:
  friend class HTTP_Connection;
  friend class HTTP_Session_Factory;

  static HTTP_Session_var make(HTTP_Session_Settings settings);

  Curl_Easy take_handle() noexcept;
  void give_back(Curl_Easy handle) noexcept;

  const HTTP_Session_Settings settings_;
  const std::string pool_key_;
};

// The printable URL of a request on a session: scheme, host, port and path,
// never the query string.  For messages only.
class HTTP_Session_URL {
 public:
  HTTP_Session_URL(const HTTP_Session_var& session, const HTTP_Request& request);
  const char* c_str() const noexcept { return text_.c_str(); }

 private:
  std::string text_;
};
