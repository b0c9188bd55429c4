#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <boost/beast/http/message.hpp>
#include <boost/beast/http/string_body.hpp>

#include "host/support/secure_string.h"

typedef struct ssl_ctx_st SSL_CTX;
struct Http_Server_State;

// What one client may take of the service, whatever it sends: every limit is
// the server's own, none is left to the client's pace.
struct Http_Limits {
  std::size_t max_head = 16 * 1024;       // request line and fields; beyond: 431
  std::size_t max_body = 1024 * 1024;     // beyond: 413
  std::chrono::seconds request_time{10};  // head and body, from their first byte
  std::chrono::seconds idle_time{30};     // a connection that sends nothing
  std::chrono::seconds write_time{60};    // one answer, however large
  std::size_t max_connections = 512;      // beyond either: closed at once
  std::size_t max_per_peer = 64;
};

// A request as the server reads it: its fields and its body in storage that
// is wiped when released, since a body may carry a secret typed into the
// console and a field the access token.
using Http_Fields = boost::beast::http::basic_fields<secure_allocator<char>>;
using Http_Body =
    boost::beast::http::basic_string_body<char, std::char_traits<char>, secure_allocator<char>>;
using Http_Request = boost::beast::http::request<Http_Body, Http_Fields>;

// An answer.  The server adds the framing (length, keep-alive) and, when the
// client asks for it and the body is large, packs the body with gzip.
struct Http_Reply {
  unsigned status = 200;
  std::string content_type;
  std::string body;
  std::vector<std::pair<std::string, std::string>> headers;
  bool close = false;  // the connection ends after it
};

// What the service does with requests.  Both may be called on several
// threads at once.
class Http_Handler {
 public:
  virtual ~Http_Handler() = default;
  // The head of a request, before its body is read: a reply ends the
  // request there (the body unread, the connection closed after it); none
  // lets the body be read.
  virtual std::optional<Http_Reply> check_head(const Http_Request& head) = 0;
  // The whole request.  `done` is called once, now or later, from any
  // thread.
  virtual void answer(Http_Request&& request, std::function<void(Http_Reply)> done) = 0;
};

// An HTTP/1.1 server on Boost.Beast, with TLS when set up for it.  Reads and
// writes are asynchronous, so that a slow or idle client holds no thread,
// only one of the connections the limits allow.
class Http_Server {
 public:
  // `handler` must outlive the server.
  Http_Server(Http_Handler& handler, Http_Limits limits);
  ~Http_Server();
  Http_Server(const Http_Server&) = delete;
  Http_Server& operator=(const Http_Server&) = delete;

  // Serves TLS 1.2 or later with what `setup` puts into the context (called
  // now); false with the problem in `error`.
  using Tls_Setup = std::function<bool(SSL_CTX& ctx, std::string& error)>;
  bool use_tls(const Tls_Setup& setup, std::string& error);

  // Listens on `address` (an IPv4 or IPv6 address) and `port`, 0 for a free
  // one.  The port is not shared (no SO_REUSEPORT): one in use fails, with
  // a message that says so.
  bool listen(const std::string& address, unsigned short port, std::string& error);
  unsigned short port() const;

  // Serves on `threads` threads (this one among them) until `stop`: the
  // requests being answered are finished and written first.
  void run(int threads);
  // Safe from any thread, also before `run`.
  void stop();

  // Connections open now.
  std::size_t connections() const;

 private:
  std::shared_ptr<Http_Server_State> state_;
};
