#pragma once

#include <string>
#include <string_view>

#include "host/http/curl_handles.h"
#include "host/http/http_session_settings.h"

// Sets on `easy` every option that follows from the session's settings:
// time-outs, TLS verification and session resumption, the proxy, no
// redirects, http and https only, the reply size cap.  `error_buffer` (libcurl's size) receives its
// messages. Returns libcurl's result of the first option that failed, else 0.
int curl_apply_session_options(CURL* easy, const HTTP_Session_Settings& settings,
                               char* error_buffer) noexcept;

// Whether libcurl takes `host` as a host name or address (IPv6 without brackets).
bool curl_valid_host(const std::string& host) noexcept;

// The URL of `path` and `query` (empty: none) on the session's endpoint, or
// null when a part is not in encoded form, libcurl rejects it or memory runs
// out.  The host must have passed curl_valid_host.
Curl_Url curl_make_url(const HTTP_Session_Settings& settings, const std::string& path,
                       std::string_view query) noexcept;
