#pragma once

#include "host/http/http_session_factory.h"

namespace qingcloud {

// The fixed constants of the platform calls, named as the HTTP library names
// the values the session asks it for.

// Idle connections kept per endpoint for reuse.
constexpr unsigned DEFAULT_IDLE_CONNECTIONS = HTTP_Session_Factory::DEFAULT_IDLE_CONNECTIONS;
// Socket time-outs in seconds.
constexpr int DEFAULT_SOCKET_SEND_TIMEOUT = HTTP_Session_Factory::DEFAULT_SOCKET_SEND_TIMEOUT;
constexpr int DEFAULT_SOCKET_RECV_TIMEOUT = HTTP_Session_Factory::DEFAULT_SOCKET_RECV_TIMEOUT;
constexpr int DEFAULT_SOCKET_CONN_TIMEOUT = HTTP_Session_Factory::DEFAULT_SOCKET_CONN_TIMEOUT;

// The "time_stamp" of every request: UTC, whole seconds.
constexpr const char* TIME_STAMP_FORMAT = "%Y-%m-%dT%H:%M:%SZ";
// The digest that signs requests, and the form of a POST body.
constexpr const char* SIGNATURE_DIGEST = "sha256";
constexpr const char* FORM_CONTENT_TYPE = "application/x-www-form-urlencoded";

}  // namespace qingcloud
