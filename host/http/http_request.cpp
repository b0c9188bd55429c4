#include "host/http/http_request.h"

HTTP_Request::HTTP_Request(int method, const char* path, bool keep_alive)
    : method_(method), path_(path && *path ? path : "/"), keep_alive_(keep_alive) {}

void HTTP_Request::content_length(std::size_t length) {
  headers_.set("Content-Length", std::to_string(length));
}

void HTTP_Request::content_type(const char* type) {
  if (type) {
    headers_.set("Content-Type", type);
  } else {
    headers_.remove("Content-Type");
  }
}
