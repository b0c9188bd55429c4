#include "host/http/cgi_response.h"

#include <cstdio>

namespace {

iovec text_iovec(const char* text, std::size_t length) {
  return iovec{const_cast<char*>(text), length};
}

}  // namespace

CGI_Response::CGI_Response(int minor_version) : minor_version_(minor_version) {
  status(0);
}

CGI_Response::~CGI_Response() = default;

void CGI_Response::status(int code) noexcept {
  status_ = code;
  std::snprintf(status_line_, sizeof status_line_, "Status: %d\r\n", code);
}

std::size_t CGI_Response::iovec_count() const {
  return 2 + 4 * headers_.fields().size();
}

std::size_t CGI_Response::to_iovec(iovec* vec, std::size_t count) const {
  std::size_t n = 0;
  auto put = [&](const char* text, std::size_t length) {
    if (n < count) vec[n++] = text_iovec(text, length);
  };
  put(status_line_, std::char_traits<char>::length(status_line_));
  for (const HTTP_Headers::Field& f : headers_.fields()) {
    put(f.first.data(), f.first.size());
    put(": ", 2);
    put(f.second.data(), f.second.size());
    put("\r\n", 2);
  }
  put("\r\n", 2);
  return n;
}
