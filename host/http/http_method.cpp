#include "host/http/http_method.h"

namespace {

const char* const METHOD_NAMES[] = {
    "CONNECT", "COPY", "DELETE",   "GET",       "HEAD", "LOCK",  "MKCOL",  "MOVE",
    "OPTIONS", "POST", "PROPFIND", "PROPPATCH", "PUT",  "TRACE", "UNLOCK",
};

}  // namespace

const char* http_method_string(int method) noexcept {
  const int count = sizeof METHOD_NAMES / sizeof METHOD_NAMES[0];
  return method >= 0 && method < count ? METHOD_NAMES[method] : nullptr;
}
