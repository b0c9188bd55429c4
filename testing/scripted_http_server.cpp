#include "testing/scripted_http_server.h"

#include <chrono>
#include <strings.h>
#include <thread>

#include <gtest/gtest.h>
#include <httplib.h>

#include "host/http/http_connection_pool.h"
#include "testing/test_certificate.h"

namespace testing_support {

namespace {

constexpr std::size_t SERVER_THREADS = 8;

// Hands out `total` bytes of filler in pieces of at most 64 KiB.
bool write_filler(std::size_t offset, std::size_t length, httplib::DataSink& sink) {
  static const std::string piece(std::size_t{64} << 10, 'x');
  (void)offset;
  return sink.write(piece.data(), std::min(length, piece.size()));
}

}  // namespace

std::string Received_Request::header(const std::string& name) const {
  for (const auto& [key, value] : headers) {
    if (::strcasecmp(key.c_str(), name.c_str()) == 0) return value;
  }
  return std::string();
}

Scripted_Reply Scripted_Reply::json(std::string body) {
  Scripted_Reply r;
  r.body = std::move(body);
  return r;
}

Scripted_Reply Scripted_Reply::with_status(int code, std::string body) {
  Scripted_Reply r;
  r.status = code;
  r.body = std::move(body);
  return r;
}

Scripted_Reply Scripted_Reply::not_json(std::string text) {
  Scripted_Reply r;
  r.body = std::move(text);
  r.content_type = "text/html";
  return r;
}

Scripted_Reply Scripted_Reply::silence() {
  Scripted_Reply r;
  r.silent = true;
  return r;
}

Scripted_Reply Scripted_Reply::oversized(std::size_t bytes, bool announced) {
  Scripted_Reply r;
  r.stream_bytes = bytes;
  r.announce_length = announced;
  return r;
}

Scripted_Reply Scripted_Reply::trickling() {
  Scripted_Reply r;
  r.trickle = true;
  return r;
}

// The server's thread pool, counting the connections it is handed.
class Scripted_HTTP_Server::Counting_Queue : public httplib::TaskQueue {
 public:
  explicit Counting_Queue(Scripted_HTTP_Server& owner) : owner_(owner), pool_(SERVER_THREADS) {}

  void enqueue(std::function<void()> fn) override {
    {
      std::lock_guard<std::mutex> lock(owner_.mutex_);
      ++owner_.connections_;
    }
    owner_.connected_cv_.notify_all();
    pool_.enqueue(std::move(fn));
  }

  void shutdown() override { pool_.shutdown(); }

 private:
  Scripted_HTTP_Server& owner_;
  httplib::ThreadPool pool_;
};

Scripted_HTTP_Server::Scripted_HTTP_Server() : server_(std::make_unique<httplib::Server>()) {
  start();
}

Scripted_HTTP_Server::Scripted_HTTP_Server(const Test_Certificate& certificate)
    : server_(std::make_unique<httplib::SSLServer>(certificate.cert(), certificate.key())) {
  start();
}

Scripted_HTTP_Server::~Scripted_HTTP_Server() {
  release_silent();
  // The client's pool would keep connections to this server open, and each
  // would hold a server thread until its keep-alive time-out: closing them
  // lets the server stop at once.
  HTTP_Connection_Pool::process().clear();
  server_->stop();
  if (thread_.joinable()) thread_.join();
}

void Scripted_HTTP_Server::start() {
  EXPECT_TRUE(server_->is_valid());
  server_->new_task_queue = [this] { return new Counting_Queue(*this); };
  server_->set_keep_alive_max_count(1000);
  server_->set_tcp_nodelay(true);
  auto handler = [this](const httplib::Request& req, httplib::Response& res) { handle(req, res); };
  server_->Get(".*", handler);
  server_->Post(".*", handler);
  int port = server_->bind_to_any_port("127.0.0.1");
  EXPECT_GT(port, 0);
  port_ = static_cast<unsigned short>(port);
  thread_ = std::thread([this] { server_->listen_after_bind(); });
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!server_->is_running() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_TRUE(server_->is_running()) << "the scripted server did not start within 10 s";
}

long Scripted_HTTP_Server::tls_sessions_resumed() const {
  auto* tls = dynamic_cast<httplib::SSLServer*>(server_.get());
  return tls ? SSL_CTX_sess_hits(tls->ssl_context()) : 0;
}

void Scripted_HTTP_Server::script(Scripted_Reply reply) {
  std::lock_guard<std::mutex> lock(mutex_);
  script_.push_back(std::move(reply));
}

void Scripted_HTTP_Server::responder(Responder responder) {
  std::lock_guard<std::mutex> lock(mutex_);
  responder_ = std::move(responder);
}

std::vector<Received_Request> Scripted_HTTP_Server::received() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return received_;
}

std::size_t Scripted_HTTP_Server::connections() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return connections_;
}

bool Scripted_HTTP_Server::wait_for_connections(std::size_t n) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return connected_cv_.wait_for(lock, std::chrono::seconds(2),
                                [this, n] { return connections_ >= n; });
}

void Scripted_HTTP_Server::release_silent() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    released_ = true;
  }
  released_cv_.notify_all();
}

Scripted_Reply Scripted_HTTP_Server::next_reply(const Received_Request& request) {
  Responder responder;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    received_.push_back(request);
    if (!script_.empty()) {
      Scripted_Reply reply = std::move(script_.front());
      script_.pop_front();
      return reply;
    }
    responder = responder_;
  }
  return responder ? responder(request) : Scripted_Reply::json(R"({"ret_code":0})");
}

void Scripted_HTTP_Server::handle(const httplib::Request& req, httplib::Response& res) {
  Received_Request got;
  got.method = req.method;
  const std::size_t mark = req.target.find('?');
  got.path = req.target.substr(0, mark);
  if (mark != std::string::npos) got.query = req.target.substr(mark + 1);
  for (const auto& [name, value] : req.headers)
    got.headers.emplace_back(name, value);
  got.body = req.body;

  Scripted_Reply reply = next_reply(got);
  if (reply.silent) {
    // Held until the test lets it go, or a minute at most, so that a test
    // that forgets to cannot hang the server's stop.
    std::unique_lock<std::mutex> lock(mutex_);
    released_cv_.wait_for(lock, std::chrono::minutes(1), [this] { return released_; });
    res.status = 503;
    return;
  }
  res.status = reply.status;
  for (const auto& [name, value] : reply.headers)
    res.set_header(name, value);
  if (reply.trickle) {
    // At most a minute, so that a client that keeps listening cannot hold
    // the server's stop.
    auto left = std::make_shared<int>(600);
    res.set_chunked_content_provider(reply.content_type,
                                     [left](std::size_t, httplib::DataSink& sink) {
                                       std::this_thread::sleep_for(std::chrono::milliseconds(100));
                                       if (--*left == 0) {
                                         sink.done();
                                         return true;
                                       }
                                       return sink.write(" ", 1);
                                     });
  } else if (reply.stream_bytes) {
    if (reply.announce_length) {
      res.set_content_provider(reply.stream_bytes, reply.content_type, write_filler);
    } else {
      auto left = std::make_shared<std::size_t>(reply.stream_bytes);
      res.set_chunked_content_provider(reply.content_type,
                                       [left](std::size_t offset, httplib::DataSink& sink) {
                                         if (*left == 0) {
                                           sink.done();
                                           return true;
                                         }
                                         std::size_t n = std::min<std::size_t>(*left, 64 << 10);
                                         *left -= n;
                                         return write_filler(offset, n, sink);
                                       });
    }
  } else if (!reply.body.empty()) {
    res.set_content(reply.body, reply.content_type);
  }
}

}  // namespace testing_support
