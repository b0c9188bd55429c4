#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tools/agent/agent_host.h"
#include "tools/agent/handler_pool.h"
#include "tools/agent/serve/http_server.h"

class Service_Metrics;

typedef struct x509_st X509;
typedef struct evp_pkey_st EVP_PKEY;

// Where and how the service listens.
struct Console_Options {
  std::string listen = "127.0.0.1:0";  // HOST:PORT; port 0 is a free one
  int threads = 4;                     // requests that reach the platform, handled at once
  std::size_t max_queued = 64;         // and waiting for a thread; beyond: "busy"
  Http_Limits limits;
  // HTTPS with this certificate, the chain after it and the key (the
  // caller's, needed until `bind` returns).  Without them the service
  // speaks plain HTTP, and only on a loopback address.
  X509* tls_cert = nullptr;
  std::vector<X509*> tls_chain;
  EVP_PKEY* tls_key = nullptr;
};

// The host as a web service: JSON-RPC 2.0 over HTTP at POST /rpc (the
// plug-in's methods and the host's own), the console page at GET /,
// GET /healthz for monitoring and GET /metrics.  It holds cloud credentials,
// so every call needs its access token in an "Authorization: Bearer" header
// (the page, which holds nothing, and /healthz, which tells nothing, are
// served without: the page takes the token from the fragment of the
// address, which the browser sends to no server, and never from a cookie,
// which the browser would send to every server on the host).  Requests must
// name it by its own address, "localhost" or a name of its certificate in
// their Host header, and calls must post JSON with a declared length; it
// sends no CORS headers, so a page of another site cannot call it.
//
// Requests that reach the platform (the plug-in's, and the login test of a
// kept environment) run on `threads` handler threads behind a queue of
// `max_queued`; when that is full they are answered at once that the
// service is busy.  Everything else is answered at once, however long the platform
// takes.
class Console_Service : private Http_Handler {
 public:
  // `host` must outlive the service.
  explicit Console_Service(Agent_Host& host);
  ~Console_Service() override;
  Console_Service(const Console_Service&) = delete;
  Console_Service& operator=(const Console_Service&) = delete;

  // Serves GET /metrics from `metrics` (given before `bind`; it must outlive
  // the service).
  void serve_metrics(Service_Metrics& metrics);

  // Binds and makes a fresh access token.  False, with the problem in
  // `error`, also for an address beyond loopback without TLS.
  bool bind(const Console_Options& options, std::string& error);

  // Serves until `stop`; the requests in flight are finished first.
  void run();
  // Safe from any thread, once `bind` succeeded.
  void stop();

  int port() const { return port_; }
  const std::string& token() const { return token_; }
  // The address to open: "http://127.0.0.1:PORT/#token=TOKEN" (https with
  // TLS), the token in its fragment.
  std::string url() const;

  Handler_Pool::Load load() const;
  std::size_t connections() const;

 private:
  std::optional<Http_Reply> check_head(const Http_Request& head) override;
  void answer(Http_Request&& request, std::function<void(Http_Reply)> done) override;

  bool own_host(std::string_view header) const;
  bool has_token(std::string_view authorization) const;
  void serve_rpc(Http_Request&& request, const std::function<void(Http_Reply)>& done);

  Agent_Host& host_;
  std::unique_ptr<Handler_Pool> pool_;
  std::unique_ptr<Http_Server> server_;  // goes before the pool: its answers use it
  bool tls_ = false;
  std::string shown_host_;          // in the address printed
  std::vector<std::string> names_;  // what its Host header may say, without the port
  int port_ = 0;
  std::string token_;
  Service_Metrics* metrics_ = nullptr;
};
