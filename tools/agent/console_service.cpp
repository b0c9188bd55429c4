#include "tools/agent/console_service.h"

#include <cstdio>
#include <sys/socket.h>

#include <httplib.h>
#include <openssl/rand.h>

#include "host/json_spirit/writer.h"
#include "host/support/secure_memset.h"
#include "tools/agent/console_assets.h"
#include "tools/agent/health_routes.h"

namespace {

const char* const COOKIE = "qc_token";

// 32 random bytes as hex; empty when the generator fails.
std::string random_token() {
  unsigned char bytes[32];
  if (RAND_bytes(bytes, sizeof bytes) != 1) return std::string();
  static const char HEX[] = "0123456789abcdef";
  std::string out;
  for (unsigned char b : bytes) {
    out += HEX[b >> 4];
    out += HEX[b & 15];
  }
  secure_memset(bytes, 0, sizeof bytes);
  return out;
}

// Compares without telling, by its time, how much of a guess was right.
bool same_token(const std::string& a, const std::string& b) {
  if (a.size() != b.size() || a.empty()) return false;
  unsigned char diff = 0;
  for (std::size_t i = 0; i < a.size(); ++i)
    diff |= static_cast<unsigned char>(a[i] ^ b[i]);
  return diff == 0;
}

std::string cookie_value(const std::string& header, const std::string& name) {
  std::size_t at = 0;
  while (at < header.size()) {
    while (at < header.size() && (header[at] == ' ' || header[at] == ';'))
      ++at;
    const std::size_t end = std::min(header.find(';', at), header.size());
    const std::string pair = header.substr(at, end - at);
    const std::size_t eq = pair.find('=');
    if (eq != std::string::npos && pair.substr(0, eq) == name) return pair.substr(eq + 1);
    at = end;
  }
  return std::string();
}

void plain(httplib::Response& res, int status, const char* text) {
  res.status = status;
  res.set_content(text, "text/plain; charset=utf-8");
}

}  // namespace

Console_Service::Console_Service(Agent_Host& host) : host_(host) {}

Console_Service::~Console_Service() = default;

bool Console_Service::bind(const std::string& address, int threads, std::string& error) {
  const std::size_t colon = address.rfind(':');
  if (colon == std::string::npos || colon == 0) {
    error = "--listen wants HOST:PORT, not '" + address + "'";
    return false;
  }
  bind_host_ = address.substr(0, colon);
  const std::string port_text = address.substr(colon + 1);
  if (port_text.empty() || port_text.size() > 5 ||
      port_text.find_first_not_of("0123456789") != std::string::npos ||
      std::stoi(port_text) > 65535) {
    error = "--listen wants a port from 0 to 65535, not '" + port_text + "'";
    return false;
  }
  token_ = random_token();
  if (token_.empty()) {
    error = "cannot make an access token";
    return false;
  }
  server_ = std::make_unique<httplib::Server>();
  server_->new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
  int listening = -1;
  server_->set_socket_options([&listening](socket_t sock) {
    httplib::default_socket_options(sock);
    listening = sock;
  });
  server_->set_payload_max_length(MAX_BODY);
  server_->set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
    switch (check(req)) {
      case Access::FOREIGN_HOST:
        plain(res, 403, "This service answers only to its own address.\n");
        return httplib::Server::HandlerResponse::Handled;
      case Access::NO_TOKEN:
        plain(res, 401, "Open the address the service printed when it started.\n");
        return httplib::Server::HandlerResponse::Handled;
      case Access::OK:
        break;
    }
    return httplib::Server::HandlerResponse::Unhandled;
  });
  server_->Post(
      "/rpc", [this](const httplib::Request& req, httplib::Response& res) { serve_rpc(req, res); });
  server_->Get("/", [this](const httplib::Request& req, httplib::Response& res) {
    serve_page(req, res, "text/html; charset=utf-8", console_index_html());
  });
  server_->Get("/console.css", [this](const httplib::Request& req, httplib::Response& res) {
    serve_page(req, res, "text/css; charset=utf-8", console_css());
  });
  server_->Get("/console.js", [this](const httplib::Request& req, httplib::Response& res) {
    serve_page(req, res, "text/javascript; charset=utf-8", console_js());
  });
  add_health_route(*server_);
  if (metrics_) add_metrics_route(*server_, *metrics_);
  const int port = std::stoi(port_text);
  port_ = port == 0 ? server_->bind_to_any_port(bind_host_) : port;
  if (port != 0 && !server_->bind_to_port(bind_host_, port)) port_ = -1;
  if (port_ <= 0) {
    error = "cannot listen on " + address;
    return false;
  }
  // The HTTP library keeps only a few connections waiting to be accepted;
  // more drop the others' first packets, and a console that opens several
  // at once would wait a second for each retry.
  if (listening >= 0) ::listen(listening, SOMAXCONN);
  return true;
}

std::string Console_Service::url() const {
  const std::string host =
      bind_host_.find(':') != std::string::npos ? "[" + bind_host_ + "]" : bind_host_;
  return "http://" + host + ":" + std::to_string(port_) + "/?token=" + token_;
}

bool Console_Service::run() {
  return server_->listen_after_bind();
}

void Console_Service::stop() {
  if (server_) server_->stop();
}

Console_Service::Access Console_Service::check(const httplib::Request& req) const {
  // A page of another site that resolves its own name to this address (DNS
  // rebinding) sends that name.
  const std::string host = req.get_header_value("Host");
  const std::string port = ":" + std::to_string(port_);
  const bool own = host == bind_host_ + port || host == "localhost" + port ||
                   host == "[" + bind_host_ + "]" + port || host == "127.0.0.1" + port;
  if (!own) return Access::FOREIGN_HOST;
  if (needs_no_token(req.method, req.path)) return Access::OK;

  const std::string auth = req.get_header_value("Authorization");
  if (auth.rfind("Bearer ", 0) == 0 && same_token(auth.substr(7), token_)) return Access::OK;
  if (same_token(cookie_value(req.get_header_value("Cookie"), COOKIE), token_)) return Access::OK;
  // The first visit brings the token in the address of the page.
  if (req.method == "GET" && req.path == "/" && same_token(req.get_param_value("token"), token_))
    return Access::OK;
  return Access::NO_TOKEN;
}

void Console_Service::serve_page(const httplib::Request& req, httplib::Response& res,
                                 const char* type, const std::string& body) {
  if (req.has_param("token")) {
    // Keep the token in a cookie only this site sends, and out of the
    // address bar and the history.
    res.set_header("Set-Cookie",
                   std::string(COOKIE) + "=" + token_ + "; Path=/; HttpOnly; SameSite=Strict");
    res.set_redirect("/", 303);
    return;
  }
  res.set_header("Content-Security-Policy",
                 "default-src 'self'; connect-src 'self'; img-src 'self' data:; "
                 "frame-ancestors 'none'; form-action 'self'");
  res.set_header("X-Content-Type-Options", "nosniff");
  res.set_header("Referrer-Policy", "no-referrer");
  res.set_header("Cache-Control", "no-store");
  res.set_content(body, type);
}

void Console_Service::serve_rpc(const httplib::Request& req, httplib::Response& res) {
  // Only JSON: a form of another site (which needs no permission to post)
  // cannot send that.
  const std::string type = req.get_header_value("Content-Type");
  if (type != "application/json" && type.rfind("application/json;", 0) != 0) {
    plain(res, 415, "POST /rpc takes application/json.\n");
    return;
  }
  const json_spirit::Value answer = host_.handle_text(req.body);
  // The body may hold a secret that came to be stored (host.environments.add).
  secure_memset(const_cast<char*>(req.body.data()), 0, req.body.size());
  res.set_header("Cache-Control", "no-store");
  if (answer.is_null()) {
    res.status = 204;  // notifications only
    return;
  }
  res.set_content(json_spirit::JSON_Dump(answer, false).str(), "application/json");
}
