#pragma once

#include <string>

#include "host/http/cgi_response.h"
#include "host/http/http_session_factory.h"

namespace http_test {

// A response with no opinion about its header fields.
struct Plain_Response : CGI_Response {
  Plain_Response() : CGI_Response(1) {}
  std::size_t content_length() const override { return 0; }
  void content_length(std::size_t) override {}
  const char* content_type() const override { return nullptr; }
  void content_type(const char*) override {}
};

// A plain-HTTP session to 127.0.0.1:`port` with 1-second time-outs.
inline HTTP_Session_var local_session(unsigned short port, unsigned flags = 0,
                                      const char* user_agent = nullptr) {
  return HTTP_Session_Factory::create("127.0.0.1", port, false, user_agent, 3, nullptr, false, 1, 1,
                                      1, flags);
}

}  // namespace http_test
