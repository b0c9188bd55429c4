#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <sys/types.h>

#include "host/http/cgi_response.h"
#include "host/http/curl_handles.h"
#include "host/http/http_request.h"
#include "host/support/secure_string.h"

class HTTP_Session;
class HTTP_Connection;
using HTTP_Connection_var = std::shared_ptr<HTTP_Connection>;

// One exchange on a session: the request head was taken by the session, the
// body is written here, then the response head is read.  The exchange runs
// when the head is read; the reply body stays here for the reader.  When the
// last handle goes, the underlying connection returns to its session for reuse.
class HTTP_Connection {
  struct Key {
    explicit Key() = default;
  };

 public:
  HTTP_Connection(Key, std::shared_ptr<HTTP_Session> session, Curl_Easy easy);
  ~HTTP_Connection();
  HTTP_Connection(const HTTP_Connection&) = delete;
  HTTP_Connection& operator=(const HTTP_Connection&) = delete;

  // Appends to the request body.  Returns the count taken, which falls short
  // when the request's Content-Length leaves no room; -1 on failure.
  ssize_t write(const void* data, std::size_t length);

  // Runs the exchange and reads the response head into `response`: 0, or -1
  // with `last_error` set (logged).
  int read_head(CGI_Response& response);

  // The errno value of the last failure (ECONNREFUSED, ETIMEDOUT, ...), or 0.
  int last_error() const noexcept { return last_error_; }

  const std::string& body() const noexcept { return response_body_; }
  // Scheme, host, port and path of the request, for messages.
  const std::string& url() const noexcept { return url_; }

 private:
  friend class HTTP_Session;

  enum class State { FRESH, HEAD_TAKEN, DONE };

  bool prepare(const HTTP_Request& request);
  bool build_header_list(const HTTP_Request& request);
  int fail(int error);
  static std::size_t on_body(char* data, std::size_t size, std::size_t count, void* self);
  void reserve_declared_body();
  static int on_progress(void* self, std::int64_t down_total, std::int64_t down_now,
                         std::int64_t up_total, std::int64_t up_now);

  std::shared_ptr<HTTP_Session> session_;
  Curl_Easy easy_;
  State state_ = State::FRESH;
  int method_ = 0;
  std::string url_;
  secure_string query_;
  Curl_Url target_;
  Curl_Slist header_list_;
  bool fresh_connection_ = false;
  bool length_declared_ = false;
  std::size_t declared_length_ = 0;
  std::string request_body_;
  std::string response_body_;
  bool body_too_large_ = false;
  // Stall detection: bytes moved so far and when they last moved.
  std::int64_t bytes_moved_ = -1;
  std::chrono::steady_clock::time_point last_moved_;
  bool stalled_ = false;
  int last_error_ = 0;
  char error_buffer_[256];  // libcurl's CURL_ERROR_SIZE
};
