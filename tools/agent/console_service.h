#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "tools/agent/agent_host.h"
#include "tools/agent/handler_pool.h"

class Service_Metrics;

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

typedef struct x509_st X509;
typedef struct evp_pkey_st EVP_PKEY;

// Where and how the service listens.
struct Console_Options {
  std::string listen = "127.0.0.1:0";  // HOST:PORT; port 0 is a free one
  int threads = 4;                     // JSON-RPC requests handled at once
  // How long a client may keep the service waiting for each read of its
  // request, or for taking each part of the answer.
  std::chrono::seconds io_timeout{10};
  // HTTPS with this certificate, the chain after it and the key (the
  // caller's, needed until `bind` returns).  Without them the service
  // speaks plain HTTP, and only on a loopback address.
  X509* tls_cert = nullptr;
  std::vector<X509*> tls_chain;
  EVP_PKEY* tls_key = nullptr;
};

// The host as a web service: JSON-RPC 2.0 over HTTP at POST /rpc (the
// plug-in's methods and the host's own) and the console page at GET /.  It
// holds cloud credentials, so every call needs its access token in an
// "Authorization: Bearer" header (the page, which holds nothing, is served
// without: it takes the token from the fragment of the address, which the
// browser sends to no server, and never from a cookie, which the browser
// would send to every server on the host).  Requests must name it by its own
// address, "localhost" or a name of its certificate in their Host header,
// and calls must post JSON with a declared length; it sends no CORS headers,
// so a page of another site cannot call it.
//
// A slow client holds one of MAX_CONNECTIONS connection threads (each read
// and write bounded by the time-out), never one of the `threads` handler
// threads, which alone answer requests.
class Console_Service {
 public:
  static constexpr std::size_t MAX_BODY = 1024 * 1024;
  static constexpr int DEFAULT_THREADS = 4;
  static constexpr int MAX_CONNECTIONS = 64;

  // `host` must outlive the service.
  explicit Console_Service(Agent_Host& host);
  ~Console_Service();
  Console_Service(const Console_Service&) = delete;
  Console_Service& operator=(const Console_Service&) = delete;

  // Serves GET /metrics from `metrics` (given before `bind`; it must outlive
  // the service).  GET /healthz is always served.
  void serve_metrics(Service_Metrics& metrics) { metrics_ = &metrics; }

  // Binds and makes a fresh access token.  False, with the problem in
  // `error`, also for an address beyond loopback without TLS.
  bool bind(const Console_Options& options, std::string& error);

  // Serves until `stop`; the requests in flight are finished first.  False
  // when the server ended on its own (it could accept no more connections).
  bool run();
  // Safe from any thread, once `bind` succeeded.
  void stop();

  int port() const { return port_; }
  const std::string& token() const { return token_; }
  // The address to open: "http://127.0.0.1:PORT/#token=TOKEN" (https with
  // TLS), the token in its fragment.
  std::string url() const;

 private:
  enum class Access { OK, FOREIGN_HOST, NO_TOKEN, NO_LENGTH, CODED_BODY };

  bool make_server(const Console_Options& options, std::string& error);
  void route();
  Access check(const httplib::Request& req) const;
  bool own_host(const std::string& header) const;
  void serve_rpc(const httplib::Request& req, httplib::Response& res);

  Agent_Host& host_;
  std::unique_ptr<Handler_Pool> pool_;  // goes after the server's threads
  std::unique_ptr<httplib::Server> server_;
  bool tls_ = false;
  std::string bind_host_;
  std::string shown_host_;          // in the address printed
  std::vector<std::string> names_;  // what its Host header may say, without the port
  int port_ = 0;
  std::string token_;
  Service_Metrics* metrics_ = nullptr;
};
