#pragma once

#include <memory>
#include <string>

#include "tools/agent/agent_host.h"

class Service_Metrics;

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

// The host as a local web service: JSON-RPC 2.0 over HTTP at POST /rpc (the
// plug-in's methods and the host's own), on a pool of handler threads, and
// the console page at GET /.  It holds cloud credentials, so it trusts only
// requests that carry its access token (the cookie set by the first visit,
// or an "Authorization: Bearer" header), that name it by its own address or
// "localhost" in their Host header, and that post JSON; it sends no CORS
// headers, so a page of another site cannot call it.
class Console_Service {
 public:
  static constexpr std::size_t MAX_BODY = 1024 * 1024;
  static constexpr int DEFAULT_THREADS = 4;

  // `host` must outlive the service.
  explicit Console_Service(Agent_Host& host);
  ~Console_Service();
  Console_Service(const Console_Service&) = delete;
  Console_Service& operator=(const Console_Service&) = delete;

  // Serves GET /metrics from `metrics` (given before `bind`; it must outlive
  // the service).  GET /healthz is always served.
  void serve_metrics(Service_Metrics& metrics) { metrics_ = &metrics; }

  // Binds `address` ("127.0.0.1:0" for a free loopback port) with `threads`
  // handler threads and makes a fresh access token.  False, with the problem
  // in `error`.
  bool bind(const std::string& address, int threads, std::string& error);

  // Serves until `stop`; the requests in flight are finished first.  False
  // when the server ended on its own (it could accept no more connections).
  bool run();
  // Safe from any thread, once `bind` succeeded.
  void stop();

  int port() const { return port_; }
  const std::string& token() const { return token_; }
  // The address to open: the console, the token in its query.
  std::string url() const;

 private:
  enum class Access { OK, FOREIGN_HOST, NO_TOKEN };
  Access check(const httplib::Request& req) const;
  void serve_rpc(const httplib::Request& req, httplib::Response& res);
  void serve_page(const httplib::Request& req, httplib::Response& res, const char* type,
                  const std::string& body);

  Agent_Host& host_;
  std::unique_ptr<httplib::Server> server_;
  std::string bind_host_;
  int port_ = 0;
  std::string token_;
  Service_Metrics* metrics_ = nullptr;
};
