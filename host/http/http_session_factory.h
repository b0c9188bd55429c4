#pragma once

#include <cstddef>
#include <string>

#include "host/http/http_session.h"
#include "host/http/http_tls_context.h"

// Makes HTTP sessions: one endpoint (host, port, plain or TLS) whose
// connections are kept alive and reused.
class HTTP_Session_Factory {
 public:
  // Idle connections a session keeps for reuse.
  static constexpr unsigned DEFAULT_IDLE_CONNECTIONS = 3;
  // Socket time-outs in seconds: sending, receiving (a stall of either ends
  // the exchange) and connecting.
  static constexpr int DEFAULT_SOCKET_SEND_TIMEOUT = 120;
  static constexpr int DEFAULT_SOCKET_RECV_TIMEOUT = 120;
  static constexpr int DEFAULT_SOCKET_CONN_TIMEOUT = 120;
  // The stall time-outs restart with every byte, so a peer that trickles
  // one a second would hold the caller for days: one whole exchange
  // (connecting, sending and receiving) takes at most this many seconds.
  static constexpr int EXCHANGE_DEADLINE = 300;
  // A reply body larger than this fails the exchange.
  static constexpr std::size_t MAX_BODY_SIZE = std::size_t{64} << 20;

  enum Flags : unsigned {
    // Every request on a new connection, closed after it.
    FRESH_CONNECTIONS = 1,
  };

  // A session for `host`:`port`, over TLS when `ssl`, or null (logged) when
  // an argument is unusable.  `user_agent` may be null (no User-Agent field).
  // `tls` may be null: the host-wide default CA file, else the system's trust
  // store.  With `connect_now` the factory connects (and for TLS completes
  // the handshake) before it returns, and fails when it cannot; otherwise the
  // first request finds out.  Time-outs are in seconds and must be positive;
  // `flags` is a combination of Flags.
  static HTTP_Session_var create(const std::string& host, unsigned short port, bool ssl,
                                 const char* user_agent, unsigned idle_connections,
                                 const HTTP_TLS_Context* tls, bool connect_now, int send_timeout,
                                 int recv_timeout, int conn_timeout, unsigned flags);
  // The same from settings as they are, for what the arguments above do not
  // set (a shorter whole-exchange deadline); the proxy is the caller's.
  static HTTP_Session_var create(HTTP_Session_Settings settings, bool connect_now);
};
