#pragma once

// Request methods by the numbers the host's HTTP library gives them (the
// methods of HTTP and WebDAV in alphabetical order).
enum HTTP_Method {
  HTTP_METHOD_CONNECT = 0,
  HTTP_METHOD_COPY = 1,
  HTTP_METHOD_DELETE = 2,
  HTTP_METHOD_GET = 3,
  HTTP_METHOD_HEAD = 4,
  HTTP_METHOD_LOCK = 5,
  HTTP_METHOD_MKCOL = 6,
  HTTP_METHOD_MOVE = 7,
  HTTP_METHOD_OPTIONS = 8,
  HTTP_METHOD_POST = 9,
  HTTP_METHOD_PROPFIND = 10,
  HTTP_METHOD_PROPPATCH = 11,
  HTTP_METHOD_PUT = 12,
  HTTP_METHOD_TRACE = 13,
  HTTP_METHOD_UNLOCK = 14,
};

// The method's name as sent ("GET", "POST", ...), or null for an unknown number.
const char* http_method_string(int method) noexcept;
