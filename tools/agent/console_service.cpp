#include "tools/agent/console_service.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <cstdio>
#include <sys/socket.h>

#include <httplib.h>
#include <openssl/rand.h>
#include <openssl/ssl.h>

#include "host/json_spirit/writer.h"
#include "host/support/secure_memset.h"
#include "tools/agent/console_assets.h"
#include "tools/agent/health_routes.h"
#include "tools/agent/tls_identity.h"

namespace {

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

std::string lower(std::string text) {
  for (char& c : text)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// "127.0.0.1", "::1", "localhost": addresses no other machine can reach.
bool loopback(const std::string& host) {
  unsigned char a[16];
  if (host == "localhost") return true;
  if (inet_pton(AF_INET, host.c_str(), a) == 1) return a[0] == 127;
  if (inet_pton(AF_INET6, host.c_str(), a) != 1) return false;
  static const unsigned char V6[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
  static const unsigned char MAPPED[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};
  return std::equal(a, a + 16, V6) || (std::equal(a, a + 12, MAPPED) && a[12] == 127);
}

bool wildcard(const std::string& host) {
  return host == "0.0.0.0" || host == "::" || host.empty();
}

std::string bracketed(const std::string& host) {
  return host.find(':') != std::string::npos ? "[" + host + "]" : host;
}

void plain(httplib::Response& res, int status, const char* text) {
  res.status = status;
  res.set_content(text, "text/plain; charset=utf-8");
}

// The methods whose requests carry a body that the server reads.
bool has_body(const std::string& method) {
  return method == "POST" || method == "PUT" || method == "PATCH" || method == "DELETE";
}

bool public_page(const httplib::Request& req) {
  return req.method == "GET" &&
         (req.path == "/" || req.path == "/console.js" || req.path == "/console.css");
}

}  // namespace

Console_Service::Console_Service(Agent_Host& host) : host_(host) {}

Console_Service::~Console_Service() = default;

bool Console_Service::bind(const Console_Options& options, std::string& error) {
  const std::string& address = options.listen;
  const std::size_t colon = address.rfind(':');
  if (colon == std::string::npos || colon == 0) {
    error = "--listen wants HOST:PORT, not '" + address + "'";
    return false;
  }
  bind_host_ = address.substr(0, colon);
  if (bind_host_.size() > 2 && bind_host_.front() == '[' && bind_host_.back() == ']')
    bind_host_ = bind_host_.substr(1, bind_host_.size() - 2);
  const std::string port_text = address.substr(colon + 1);
  if (port_text.empty() || port_text.size() > 5 ||
      port_text.find_first_not_of("0123456789") != std::string::npos ||
      std::stoi(port_text) > 65535) {
    error = "--listen wants a port from 0 to 65535, not '" + port_text + "'";
    return false;
  }
  tls_ = options.tls_cert != nullptr && options.tls_key != nullptr;
  if (!tls_ && !loopback(bind_host_)) {
    error = "--listen " + address +
            " can be reached from other machines; serving there needs --tls-cert and --tls-key";
    return false;
  }
  token_ = random_token();
  if (token_.empty()) {
    error = "cannot make an access token";
    return false;
  }
  if (!make_server(options, error)) return false;
  route();

  int listening = -1;
  server_->set_socket_options([&listening](socket_t sock) {
    httplib::default_socket_options(sock);
    listening = sock;
  });
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

bool Console_Service::make_server(const Console_Options& options, std::string& error) {
  names_ = {lower(bracketed(bind_host_)), "localhost", "127.0.0.1", "[::1]"};
  shown_host_ = bracketed(bind_host_);
  if (!tls_) {
    server_ = std::make_unique<httplib::Server>();
  } else {
    std::string problem;
    server_ = std::make_unique<httplib::SSLServer>([&](SSL_CTX& ctx) {
      return use_tls_identity(ctx, options.tls_cert, options.tls_chain, options.tls_key, problem);
    });
    if (!server_->is_valid()) {
      error = problem.empty() ? "cannot set up TLS" : problem;
      return false;
    }
    // Behind a certificate the service answers to the names it is for; a
    // browser that reaches it by another name refuses the certificate.
    const std::vector<std::string> names = certificate_names(options.tls_cert);
    for (const std::string& name : names)
      names_.push_back(lower(name));
    if (wildcard(bind_host_) && !names.empty() && names.front().find('*') == std::string::npos)
      shown_host_ = names.front();
  }
  pool_ = std::make_unique<Handler_Pool>(options.threads);
  // Connections get threads of their own, so that a slow client never holds
  // a thread that runs requests.
  server_->new_task_queue = [] { return new httplib::ThreadPool(MAX_CONNECTIONS); };
  server_->set_read_timeout(options.io_timeout);
  server_->set_write_timeout(options.io_timeout);
  server_->set_payload_max_length(MAX_BODY);
  return true;
}

void Console_Service::route() {
  server_->set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
    switch (check(req)) {
      case Access::FOREIGN_HOST:
        plain(res, 403, "This service answers only to its own address.\n");
        return httplib::Server::HandlerResponse::Handled;
      case Access::NO_TOKEN:
        plain(res, 401, "Open the address the service printed when it started.\n");
        return httplib::Server::HandlerResponse::Handled;
      case Access::NO_LENGTH:
        // The body is left unread, so the connection cannot go on.
        plain(res, 411, "A body needs a Content-Length (and no Transfer-Encoding).\n");
        res.set_header("Connection", "close");
        return httplib::Server::HandlerResponse::Handled;
      case Access::CODED_BODY:
        plain(res, 415, "A body is taken without a Content-Encoding.\n");
        res.set_header("Connection", "close");
        return httplib::Server::HandlerResponse::Handled;
      case Access::OK:
        break;
    }
    return httplib::Server::HandlerResponse::Unhandled;
  });
  server_->Post(
      "/rpc", [this](const httplib::Request& req, httplib::Response& res) { serve_rpc(req, res); });
  struct Page {
    const char* path;
    const char* type;
    const std::string& (*text)();
  };
  const Page pages[] = {
      {"/", "text/html; charset=utf-8", console_index_html},
      {"/console.css", "text/css; charset=utf-8", console_css},
      {"/console.js", "text/javascript; charset=utf-8", console_js},
  };
  for (const Page& page : pages) {
    server_->Get(page.path, [page](const httplib::Request&, httplib::Response& res) {
      res.set_header("Content-Security-Policy",
                     "default-src 'self'; connect-src 'self'; img-src 'self' data:; "
                     "frame-ancestors 'none'; form-action 'self'");
      res.set_header("X-Content-Type-Options", "nosniff");
      res.set_header("Referrer-Policy", "no-referrer");
      res.set_header("Cache-Control", "no-store");
      res.set_content(page.text(), page.type);
    });
  }
  add_health_route(*server_);
  if (metrics_) add_metrics_route(*server_, *metrics_);
}

std::string Console_Service::url() const {
  return std::string(tls_ ? "https://" : "http://") + shown_host_ + ":" + std::to_string(port_) +
         "/#token=" + token_;
}

bool Console_Service::run() {
  return server_->listen_after_bind();
}

void Console_Service::stop() {
  if (server_) server_->stop();
}

bool Console_Service::own_host(const std::string& header) const {
  // A page of another site that resolves its own name to this address (DNS
  // rebinding) sends that name.
  std::string name = lower(header);
  const std::string port = ":" + std::to_string(port_);
  if (name.size() > port.size() && name.compare(name.size() - port.size(), port.size(), port) == 0)
    name.erase(name.size() - port.size());
  else if (port_ != (tls_ ? 443 : 80))
    return false;  // only the default port may go unsaid
  for (const std::string& own : names_) {
    if (name == own) return true;
    // A wildcard name of the certificate stands for one label.
    const std::size_t dot = name.find('.');
    if (own.rfind("*.", 0) == 0 && dot != std::string::npos && dot > 0 &&
        name.compare(dot, std::string::npos, own, 1) == 0)
      return true;
  }
  return false;
}

Console_Service::Access Console_Service::check(const httplib::Request& req) const {
  if (!own_host(req.get_header_value("Host"))) return Access::FOREIGN_HOST;
  if (!public_page(req) && !needs_no_token(req.method, req.path)) {
    const std::string auth = req.get_header_value("Authorization");
    if (auth.size() < 7 || lower(auth.substr(0, 7)) != "bearer " ||
        !same_token(auth.substr(7), token_))
      return Access::NO_TOKEN;
  }
  // A body is read only when its length is declared, so that MAX_BODY holds:
  // a chunked body, one read to the end of the connection or one unpacked
  // from gzip could grow without a bound while it is read.
  if (req.has_header("Transfer-Encoding") ||
      (has_body(req.method) && !req.has_header("Content-Length")))
    return Access::NO_LENGTH;
  if (req.has_header("Content-Encoding")) return Access::CODED_BODY;
  return Access::OK;
}

void Console_Service::serve_rpc(const httplib::Request& req, httplib::Response& res) {
  // Only JSON: a form of another site (which needs no permission to post)
  // cannot send that.
  const std::string type = req.get_header_value("Content-Type");
  if (type != "application/json" && type.rfind("application/json;", 0) != 0) {
    plain(res, 415, "POST /rpc takes application/json.\n");
    return;
  }
  // The answer is made, written out and let go on a handler thread.
  pool_->run([this, &req, &res] {
    const json_spirit::Value answer = host_.handle_text(req.body);
    // The body may hold a secret that came to be stored (host.environments.add).
    secure_memset(const_cast<char*>(req.body.data()), 0, req.body.size());
    res.set_header("Cache-Control", "no-store");
    if (answer.is_null()) {
      res.status = 204;  // notifications only
      return;
    }
    // The text is handed to the response, not copied: a listing's answer
    // may run to many megabytes.
    res.body = json_spirit::JSON_Dump(answer, false).str();
    res.set_header("Content-Type", "application/json");
  });
}
