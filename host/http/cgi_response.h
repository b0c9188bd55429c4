#pragma once

#include <cstddef>
#include <sys/uio.h>

#include "host/http/http_headers.h"

// The head of a response: status, HTTP minor version, header fields and
// whether a body followed.  The HTTP library fills it when it reads a reply.
// How header fields are interpreted is left to the embedding program, which
// supplies the four header accessors.
class CGI_Response {
 public:
  explicit CGI_Response(int minor_version);
  virtual ~CGI_Response();

  virtual std::size_t content_length() const = 0;
  virtual void content_length(std::size_t length) = 0;
  virtual const char* content_type() const = 0;
  virtual void content_type(const char* type) = 0;

  // The head in CGI form, ready for writev: "Status: <code>\r\n", each field
  // as "name: value\r\n", then "\r\n".  `to_iovec` fills at most `count`
  // entries and returns how many it filled; they point into this object.
  virtual std::size_t iovec_count() const;
  virtual std::size_t to_iovec(iovec* vec, std::size_t count) const;

  int status() const noexcept { return status_; }
  void status(int code) noexcept;
  int minor_version() const noexcept { return minor_version_; }
  void minor_version(int minor) noexcept { minor_version_ = minor; }
  bool has_body() const noexcept { return has_body_; }
  void has_body(bool body) noexcept { has_body_ = body; }

  HTTP_Headers& headers() noexcept { return headers_; }
  const HTTP_Headers& headers() const noexcept { return headers_; }

 protected:
  int status_ = 0;
  int minor_version_;
  bool has_body_ = false;
  HTTP_Headers headers_;

 private:
  char status_line_[32];
};
