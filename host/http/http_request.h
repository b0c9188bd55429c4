#pragma once

#include <cstddef>
#include <string>

#include "host/http/http_headers.h"
#include "host/support/secure_string.h"

// One request to send on an HTTP session: method, path, query string and
// header fields.  The library frames it; callers set only what they mean.
class HTTP_Request {
 public:
  // `method` is an HTTP_Method number; `path` may be null (then "/").
  // `keep_alive` false asks the server to close the connection afterwards.
  HTTP_Request(int method, const char* path, bool keep_alive);

  int method() const noexcept { return method_; }
  const std::string& path() const noexcept { return path_; }
  bool keep_alive() const noexcept { return keep_alive_; }

  // The query string, without "?", sent as is (already encoded).  Kept in
  // wiped storage: a signed query names the caller's key id.
  const secure_string& query_string() const noexcept { return query_; }
  void query_string(secure_string query) { query_ = std::move(query); }

  // The Content-Length and Content-Type fields.
  void content_length(std::size_t length);
  void content_type(const char* type);

  HTTP_Headers& headers() noexcept { return headers_; }
  const HTTP_Headers& headers() const noexcept { return headers_; }

  // A request that must reach the server at most once goes on a new
  // connection: libcurl sends a request again, unasked, when a reused
  // connection turns out dead before the first byte of the answer, and the
  // server may have acted on the first one.
  bool fresh_connection() const noexcept { return fresh_connection_; }
  void fresh_connection(bool fresh) noexcept { fresh_connection_ = fresh; }

 private:
  int method_;
  std::string path_;
  bool keep_alive_;
  bool fresh_connection_ = false;
  secure_string query_;
  HTTP_Headers headers_;
};
