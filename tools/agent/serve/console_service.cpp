#include "tools/agent/serve/console_service.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>

#include <openssl/rand.h>

#include "host/json_spirit/reader.h"
#include "host/json_spirit/writer.h"
#include "host/support/secure_memset.h"
#include "tools/agent/console_assets.h"
#include "tools/agent/serve/service_metrics.h"
#include "tools/agent/serve/tls_identity.h"

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
bool same_token(std::string_view a, std::string_view b) {
  if (a.size() != b.size() || a.empty()) return false;
  unsigned char diff = 0;
  for (std::size_t i = 0; i < a.size(); ++i)
    diff |= static_cast<unsigned char>(a[i] ^ b[i]);
  return diff == 0;
}

std::string lower(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
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

Http_Reply plain(unsigned status, const char* text, bool close = false) {
  Http_Reply r;
  r.status = status;
  r.content_type = "text/plain; charset=utf-8";
  r.body = text;
  r.close = close;
  return r;
}

// The console's own files: no token, and a policy that lets the page load
// nothing but them.
Http_Reply page(const char* type, const std::string& text) {
  Http_Reply r;
  r.content_type = type;
  r.body = text;
  r.headers = {{"Content-Security-Policy",
                "default-src 'self'; connect-src 'self'; img-src 'self' data:; "
                "frame-ancestors 'none'; form-action 'self'"},
               {"X-Content-Type-Options", "nosniff"},
               {"Referrer-Policy", "no-referrer"},
               {"Cache-Control", "no-store"}};
  return r;
}

std::string_view path_of(std::string_view target) {
  return target.substr(0, target.find('?'));
}

bool is_json(std::string_view type) {
  return type == "application/json" || type.rfind("application/json;", 0) == 0;
}

using boost::beast::http::verb;

// Every path the service answers, and which of them need the token: here
// alone.
struct Route {
  const char* path;
  verb method;  // GET routes also answer HEAD
  bool token;
  // The console's files: their type and text.  The other paths are answered
  // by code.
  const char* content_type = nullptr;
  const std::string& (*file)() = nullptr;
};

const char* const JS = "text/javascript; charset=utf-8";

const Route* find_route(std::string_view path) {
  static const Route ROUTES[] = {
      {"/", verb::get, false, "text/html; charset=utf-8", console_index_html},
      {"/console.js", verb::get, false, JS, console_js},
      {"/console.css", verb::get, false, "text/css; charset=utf-8", console_css},
      {"/tree.js", verb::get, false, JS, console_tree_js},
      {"/inventory.js", verb::get, false, JS, console_inventory_js},
      {"/healthz", verb::get, false},
      {"/metrics", verb::get, true},
      {"/rpc", verb::post, true},
  };
  for (const Route& r : ROUTES)
    if (path == r.path) return &r;
  return nullptr;
}

}  // namespace

Console_Service::Console_Service(Agent_Host& host) : host_(host) {}

Console_Service::~Console_Service() = default;

void Console_Service::serve_metrics(Service_Metrics& metrics) {
  metrics_ = &metrics;
  metrics.observe_service([this] {
    const Handler_Pool::Load l = load();
    return Service_Metrics::Service_Load{l.threads, l.busy, l.queued, connections()};
  });
}

bool Console_Service::bind(const Console_Options& options, std::string& error) {
  const std::string& address = options.listen;
  const std::size_t colon = address.rfind(':');
  if (colon == std::string::npos || colon == 0) {
    error = "--listen wants HOST:PORT, not '" + address + "'";
    return false;
  }
  std::string bind_host = address.substr(0, colon);
  if (bind_host.size() > 2 && bind_host.front() == '[' && bind_host.back() == ']')
    bind_host = bind_host.substr(1, bind_host.size() - 2);
  const std::string port_text = address.substr(colon + 1);
  if (port_text.empty() || port_text.size() > 5 ||
      port_text.find_first_not_of("0123456789") != std::string::npos ||
      std::stoi(port_text) > 65535) {
    error = "--listen wants a port from 0 to 65535, not '" + port_text + "'";
    return false;
  }
  tls_ = options.tls_cert != nullptr && options.tls_key != nullptr;
  if (!tls_ && !loopback(bind_host)) {
    error = "--listen " + address +
            " can be reached from other machines; serving there needs --tls-cert and --tls-key";
    return false;
  }
  token_ = random_token();
  if (token_.empty()) {
    error = "cannot make an access token";
    return false;
  }
  names_ = {lower(bracketed(bind_host)), "localhost", "127.0.0.1", "[::1]"};
  shown_host_ = bracketed(bind_host);
  server_ = std::make_unique<Http_Server>(static_cast<Http_Handler&>(*this), options.limits);
  if (tls_) {
    const bool ready = server_->use_tls(
        [&options](SSL_CTX& ctx, std::string& problem) {
          return use_tls_identity(ctx, options.tls_cert, options.tls_chain, options.tls_key,
                                  problem);
        },
        error);
    if (!ready) return false;
    // Behind a certificate the service answers to the names it is for; a
    // browser that reaches it by another name refuses the certificate.
    const std::vector<std::string> names = certificate_names(options.tls_cert);
    for (const std::string& name : names)
      names_.push_back(lower(name));
    if (wildcard(bind_host) && !names.empty() && names.front().find('*') == std::string::npos)
      shown_host_ = names.front();
  }
  const std::string ip = bind_host == "localhost" ? "127.0.0.1"
                         : bind_host.empty()      ? "::"
                                                  : bind_host;
  if (!server_->listen(ip, static_cast<unsigned short>(std::stoi(port_text)), error)) return false;
  port_ = server_->port();
  pool_ = std::make_unique<Handler_Pool>(options.threads, options.max_queued);
  return true;
}

std::string Console_Service::url() const {
  return std::string(tls_ ? "https://" : "http://") + shown_host_ + ":" + std::to_string(port_) +
         "/#token=" + token_;
}

void Console_Service::run() {
  // Two threads read and write every connection; none of them waits for the
  // platform.
  server_->run(2);
}

void Console_Service::stop() {
  if (server_) server_->stop();
}

Handler_Pool::Load Console_Service::load() const {
  return pool_ ? pool_->load() : Handler_Pool::Load();
}

std::size_t Console_Service::connections() const {
  return server_ ? server_->connections() : 0;
}

bool Console_Service::own_host(std::string_view header) const {
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

bool Console_Service::has_token(std::string_view auth) const {
  return auth.size() >= 7 && lower(auth.substr(0, 7)) == "bearer " &&
         same_token(auth.substr(7), token_);
}

std::optional<Http_Reply> Console_Service::check_head(const Http_Request& head) {
  using boost::beast::http::field;
  if (!own_host(head[field::host]))
    return plain(403, "This service answers only to its own address.\n");
  const verb v = head.method();
  if (v != verb::get && v != verb::head && v != verb::post) {
    Http_Reply r = plain(405, "This service takes GET, HEAD and POST.\n");
    r.headers.emplace_back("Allow", "GET, HEAD, POST");
    return r;
  }
  const Route* route = find_route(path_of(head.target()));
  if ((!route || route->token) && !has_token(head[field::authorization]))
    return plain(401, "Open the address the service printed when it started.\n");
  // A body is read only when its length is declared, so that the body limit
  // holds: a chunked body, one read to the end of the connection or one
  // unpacked from gzip could grow without a bound while it is read.
  if (head.count(field::transfer_encoding) ||
      (v == verb::post && !head.count(field::content_length)))
    return plain(411, "A body needs a Content-Length (and no Transfer-Encoding).\n");
  if (head.count(field::content_encoding))
    return plain(415, "A body is taken without a Content-Encoding.\n");
  // Only JSON: a form of another site (which needs no permission to post)
  // cannot send that.
  if (route && route->method == verb::post && v == verb::post &&
      !is_json(head[field::content_type]))
    return plain(415, "POST /rpc takes application/json.\n");
  return std::nullopt;
}

void Console_Service::answer(Http_Request&& request, std::function<void(Http_Reply)> done) {
  const Route* route = find_route(path_of(request.target()));
  const verb v = request.method();
  if (!route) return done(plain(404, "Nothing is here.\n"));
  if ((route->method == verb::get) != (v == verb::get || v == verb::head)) {
    Http_Reply r = plain(405, route->method == verb::get ? "This path takes GET and HEAD.\n"
                                                         : "This path takes POST.\n");
    r.headers.emplace_back("Allow", route->method == verb::get ? "GET, HEAD" : "POST");
    return done(std::move(r));
  }
  if (route->file) return done(page(route->content_type, route->file()));
  const std::string_view path = route->path;
  if (path == "/rpc") return serve_rpc(std::move(request), done);
  Http_Reply r;
  r.headers = {{"Cache-Control", "no-store"}};
  if (path == "/healthz") {
    r.content_type = "text/plain; charset=utf-8";
    r.body = "ok\n";
  } else if (metrics_) {
    r.content_type = Service_Metrics::CONTENT_TYPE;
    r.body = metrics_->text();
  } else {
    r = plain(404, "Nothing is here.\n");
  }
  done(std::move(r));
}

void Console_Service::serve_rpc(Http_Request&& request,
                                const std::function<void(Http_Reply)>& done) {
  auto reply_with = [](const json_spirit::Value& answer) {
    Http_Reply r;
    r.headers = {{"Cache-Control", "no-store"}};
    if (answer.is_null()) {
      r.status = 204;  // notifications only
      return r;
    }
    r.content_type = "application/json";
    // The text is handed over, not copied: a listing's answer may run to
    // many megabytes.
    r.body = json_spirit::JSON_Dump(answer, false).str();
    return r;
  };
  // The body (wiped storage) may hold a secret to be stored; the values
  // read from it wipe their text when they go.
  json_spirit::Value message;
  const std::string_view text(request.body().data(), request.body().size());
  if (!json_spirit::read(text, message))
    return done(
        reply_with(json_rpc_error(json_spirit::Value(), JSON_RPC_PARSE_ERROR, "Parse error")));
  request = Http_Request();
  if (!host_.reaches_platform(message)) return done(reply_with(host_.handle_message(message)));
  auto shared = std::make_shared<json_spirit::Value>(std::move(message));
  const bool queued = pool_->post(
      [this, shared, done, reply_with] { done(reply_with(host_.handle_message(*shared))); });
  if (queued) return;
  const Handler_Pool::Load l = pool_->load();
  done(reply_with(host_.busy_answer(
      *shared, "the service is busy: its " + std::to_string(l.threads) +
                   " handler threads are all at work and " + std::to_string(l.queued) +
                   " requests wait; try again in a moment")));
}
