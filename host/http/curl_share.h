#pragma once

typedef void CURLSH;

// libcurl's share of TLS sessions for the whole process, so that a new
// connection to an endpoint resumes the TLS session of an earlier one
// instead of a full handshake.  Only TLS sessions are shared: libcurl's
// connection cache is not safe to share between threads.  Null when it
// cannot be made (the handshakes are then full ones).  Thread-safe.
CURLSH* curl_tls_session_share() noexcept;
