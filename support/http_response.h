#pragma once

#include "host/http/cgi_response.h"
#include "support/http_base.h"

// The response of one API exchange: the HTTP library fills the head, the
// accessors of HTTP_Base interpret it.
class HTTP_Response : public HTTP_Base<CGI_Response> {
 public:
  HTTP_Response() : HTTP_Base<CGI_Response>(1) {}
};
