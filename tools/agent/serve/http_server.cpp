#include "tools/agent/serve/http_server.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <type_traits>
#include <vector>

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/ssl/context.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/string.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http/empty_body.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/write.hpp>
#include <boost/beast/ssl/ssl_stream.hpp>

#include "tools/agent/serve/gzip.h"

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

namespace {

using Read_Buffer = beast::basic_flat_buffer<secure_allocator<char>>;
using Parser = http::request_parser<Http_Body, secure_allocator<char>>;
using Response = http::response<http::string_body>;
using Plain_Stream = beast::tcp_stream;
using Tls_Stream = beast::ssl_stream<beast::tcp_stream>;

// Answers smaller than this go as they are: packing them saves nothing.
constexpr std::size_t MIN_PACKED = 1024;

bool packable(const std::string& content_type) {
  return content_type.rfind("text/", 0) == 0 || content_type.rfind("application/json", 0) == 0;
}

const char* reason_text(unsigned status) {
  switch (status) {
    case 400:
      return "The request cannot be read.\n";
    case 413:
      return "A body is taken up to 1 MiB.\n";
    case 431:
      return "The request head is larger than 16 KiB.\n";
    default:
      return "";
  }
}

Http_Reply refusal(unsigned status) {
  Http_Reply r;
  r.status = status;
  r.content_type = "text/plain; charset=utf-8";
  r.body = reason_text(status);
  r.close = true;
  return r;
}

class Session_Base {
 public:
  virtual ~Session_Base() = default;
  // The session, kept alive; null for one already on its way out.
  virtual std::shared_ptr<Session_Base> keep() noexcept = 0;
  // Ends the connection once what it is doing allows: at once while it
  // waits for or reads a request, after the answer while one is made.
  virtual void stop_soon() = 0;
};

}  // namespace

struct Http_Server_State : std::enable_shared_from_this<Http_Server_State> {
  Http_Server_State(Http_Handler& h, const Http_Limits& l) : handler(h), limits(l) {}

  Http_Handler& handler;
  const Http_Limits limits;
  asio::io_context ioc;
  // The acceptor and its retry timer are used on one strand only: accepts
  // complete on any of the io threads, and stop() closes the acceptor.
  asio::strand<asio::io_context::executor_type> accept_strand{asio::make_strand(ioc)};
  tcp::acceptor acceptor{accept_strand};
  asio::steady_timer accept_retry{accept_strand};
  std::optional<asio::ssl::context> tls;
  std::atomic<bool> stopping{false};

  mutable std::mutex mutex;
  std::size_t open = 0;
  std::map<std::string, std::size_t> per_peer;
  std::set<Session_Base*> sessions;

  // Counts a new connection of `peer`; false when a cap is reached.
  bool admit(const std::string& peer) {
    std::lock_guard<std::mutex> lock(mutex);
    std::size_t& of_peer = per_peer[peer];
    if (open >= limits.max_connections || of_peer >= limits.max_per_peer) {
      if (of_peer == 0) per_peer.erase(peer);
      return false;
    }
    ++open;
    ++of_peer;
    return true;
  }
  void add(Session_Base* s) {
    std::lock_guard<std::mutex> lock(mutex);
    sessions.insert(s);
  }
  void release(const std::string& peer, Session_Base* s) {
    std::lock_guard<std::mutex> lock(mutex);
    sessions.erase(s);
    --open;
    if (--per_peer[peer] == 0) per_peer.erase(peer);
  }

  void accept();
  void on_accept(const beast::error_code& ec, tcp::socket socket);
  void stop_sessions();
};

namespace {

void start_tls(Plain_Stream&, const std::function<void(beast::error_code)>& then) {
  then(beast::error_code());
}
void start_tls(Tls_Stream& stream, const std::function<void(beast::error_code)>& then) {
  stream.async_handshake(asio::ssl::stream_base::server, then);
}

// How long, and how much, a refused request is still read after its
// answer: a client that is still sending when the connection closes gets a
// reset that can lose the answer on its way.
constexpr std::chrono::seconds LINGER_TIME{2};
constexpr std::size_t MAX_LINGER_BYTES = 4 * 1024 * 1024;

void end_tls(Plain_Stream&, const std::function<void()>& then) {
  then();
}
void end_tls(Tls_Stream& stream, const std::function<void()>& then) {
  beast::get_lowest_layer(stream).expires_after(LINGER_TIME);
  stream.async_shutdown([then](const beast::error_code&) { then(); });
}

template <class Stream>
class Session : public Session_Base, public std::enable_shared_from_this<Session<Stream>> {
 public:
  Session(std::shared_ptr<Http_Server_State> state, Stream stream, std::string peer)
      : state_(std::move(state)),
        stream_(std::move(stream)),
        peer_(std::move(peer)),
        buffer_(state_->limits.max_head + 8192) {
    state_->add(this);
  }
  ~Session() override { state_->release(peer_, this); }

  void start() {
    tcp().expires_after(state_->limits.request_time);
    start_tls(stream_, [self = this->shared_from_this()](beast::error_code ec) {
      if (ec) return self->close();
      self->wait_for_request();
    });
  }

  std::shared_ptr<Session_Base> keep() noexcept override { return this->weak_from_this().lock(); }

  void stop_soon() override {
    asio::post(stream_.get_executor(), [self = this->shared_from_this()] {
      if (self->phase_ == Phase::IDLE || self->phase_ == Phase::READING) self->close();
    });
  }

 private:
  enum class Phase { IDLE, READING, ANSWERING, WRITING, CLOSED };

  beast::tcp_stream& tcp() { return beast::get_lowest_layer(stream_); }

  // Between requests the connection may be idle for a while; the request's
  // own deadline starts with its first byte.
  void wait_for_request() {
    phase_ = Phase::IDLE;
    if (state_->stopping) return close();
    if (buffer_.size() > 0) return read_head();
    tcp().expires_after(state_->limits.idle_time);
    stream_.async_read_some(buffer_.prepare(4096),
                            [self = this->shared_from_this()](beast::error_code ec, std::size_t n) {
                              if (ec || self->phase_ == Phase::CLOSED) return self->close();
                              self->buffer_.commit(n);
                              self->read_head();
                            });
  }

  void read_head() {
    phase_ = Phase::READING;
    tcp().expires_after(state_->limits.request_time);
    parser_.emplace();
    parser_->header_limit(static_cast<std::uint32_t>(state_->limits.max_head));
    // The body's limit is checked once the handler has seen the head: a
    // request it refuses is refused for what it is, not for its length.
    parser_->body_limit(boost::none);
    http::async_read_header(stream_, buffer_, *parser_,
                            [self = this->shared_from_this()](beast::error_code ec, std::size_t) {
                              self->on_head(ec);
                            });
  }

  void on_head(beast::error_code ec) {
    if (ec) return failed(ec);
    const Http_Request& head = parser_->get();
    version_ = head.version();
    if (std::optional<Http_Reply> refused = state_->handler.check_head(head)) {
      refused->close = true;
      unread_ = true;
      return finish(std::move(*refused));
    }
    const boost::optional<std::uint64_t> length = parser_->content_length();
    if (length && *length > state_->limits.max_body) {
      unread_ = true;
      return finish(refusal(413));
    }
    parser_->body_limit(state_->limits.max_body);
    if (beast::iequals(head[http::field::expect], "100-continue")) {
      auto go_on =
          std::make_shared<http::response<http::empty_body>>(http::status::continue_, version_);
      http::async_write(stream_, *go_on,
                        [self = this->shared_from_this(), go_on](beast::error_code e, std::size_t) {
                          if (e) return self->close();
                          self->read_body();
                        });
      return;
    }
    read_body();
  }

  void read_body() {
    http::async_read(stream_, buffer_, *parser_,
                     [self = this->shared_from_this()](beast::error_code ec, std::size_t) {
                       self->on_body(ec);
                     });
  }

  void on_body(beast::error_code ec) {
    if (ec) return failed(ec);
    tcp().expires_never();
    phase_ = Phase::ANSWERING;
    Http_Request request = parser_->release();
    parser_.reset();
    keep_alive_ = request.keep_alive();
    head_only_ = request.method() == http::verb::head;
    packs_ = accepts_gzip(request[http::field::accept_encoding]);
    // The io_context must not run out of work while the answer is made
    // elsewhere.
    auto work = asio::make_work_guard(state_->ioc);
    state_->handler.answer(std::move(request),
                           [self = this->shared_from_this(), work](Http_Reply reply) mutable {
                             self->finish(std::move(reply));
                             work.reset();
                           });
  }

  // A read that failed: what can still be told is told.
  void failed(beast::error_code ec) {
    unread_ = true;
    if (ec == http::error::header_limit || ec == http::error::buffer_overflow)
      return finish(refusal(431));
    if (ec == http::error::body_limit) return finish(refusal(413));
    if (ec == beast::error::timeout || ec == http::error::end_of_stream || ec == asio::error::eof ||
        ec == asio::error::operation_aborted || !tcp().socket().is_open())
      return close();
    finish(refusal(400));
  }

  // Builds the response on the calling thread (packing a large body takes a
  // while: not on the threads that read and write), then writes it.
  void finish(Http_Reply reply) {
    auto res = std::make_shared<Response>(static_cast<http::status>(reply.status), version_);
    if (!reply.content_type.empty()) res->set(http::field::content_type, reply.content_type);
    for (const auto& [name, value] : reply.headers)
      res->set(name, value);
    std::string packed;
    if (packs_ && reply.body.size() >= MIN_PACKED && packable(reply.content_type) &&
        gzip_fast(reply.body, packed)) {
      reply.body.swap(packed);
      res->set(http::field::content_encoding, "gzip");
      res->set(http::field::vary, "Accept-Encoding");
    }
    const bool keep = keep_alive_ && !reply.close;
    if (head_only_) {
      res->content_length(reply.body.size());
    } else {
      res->body() = std::move(reply.body);
      res->prepare_payload();
    }
    res->keep_alive(keep);
    asio::post(stream_.get_executor(),
               [self = this->shared_from_this(), res, keep] { self->write(res, keep); });
  }

  void write(const std::shared_ptr<Response>& res, bool keep) {
    if (phase_ == Phase::CLOSED) return;
    phase_ = Phase::WRITING;
    tcp().expires_after(state_->limits.write_time);
    http::async_write(
        stream_, *res,
        [self = this->shared_from_this(), res, keep](beast::error_code ec, std::size_t) {
          if (ec) return self->close();
          self->keep_alive_ = false;
          self->head_only_ = false;
          self->packs_ = false;
          if (!keep || self->state_->stopping) return self->end();
          self->wait_for_request();
        });
  }

  // A connection that ends after an answer says goodbye first; one whose
  // request was refused unread is read a little longer, and what comes is
  // dropped.
  void end() {
    phase_ = Phase::CLOSED;
    if (unread_ && std::is_same_v<Stream, Plain_Stream>) {
      beast::error_code ignored;
      tcp().socket().shutdown(tcp::socket::shutdown_send, ignored);
      tcp().expires_after(LINGER_TIME);
      return linger(0);
    }
    end_tls(stream_, [self = this->shared_from_this()] { self->close(); });
  }

  void linger(std::size_t dropped) {
    if (dropped > MAX_LINGER_BYTES) return close();
    buffer_.clear();
    tcp().async_read_some(buffer_.prepare(4096), [self = this->shared_from_this(), dropped](
                                                     beast::error_code ec, std::size_t n) {
      if (ec) return self->close();
      self->linger(dropped + n);
    });
  }

  void close() {
    phase_ = Phase::CLOSED;
    beast::error_code ignored;
    tcp().socket().shutdown(tcp::socket::shutdown_both, ignored);
    tcp().close();
  }

  std::shared_ptr<Http_Server_State> state_;
  Stream stream_;
  const std::string peer_;
  Read_Buffer buffer_;
  std::optional<Parser> parser_;
  Phase phase_ = Phase::IDLE;
  unsigned version_ = 11;
  bool keep_alive_ = false;
  bool head_only_ = false;
  bool packs_ = false;
  bool unread_ = false;  // the request's body, or the rest of it, was not read
};

}  // namespace

void Http_Server_State::accept() {
  acceptor.async_accept(asio::make_strand(ioc),
                        [self = shared_from_this()](beast::error_code ec, tcp::socket socket) {
                          self->on_accept(ec, std::move(socket));
                        });
}

void Http_Server_State::on_accept(const beast::error_code& ec, tcp::socket socket) {
  if (!acceptor.is_open() || stopping) return;
  if (ec) {
    // Out of descriptors, say: tried again in a moment, not in a busy loop.
    accept_retry.expires_after(std::chrono::milliseconds(50));
    accept_retry.async_wait([self = shared_from_this()](const beast::error_code& e) {
      if (!e) self->accept();
    });
    return;
  }
  beast::error_code ignored;
  const tcp::endpoint from = socket.remote_endpoint(ignored);
  const std::string peer = from.address().to_string();
  if (ignored || !admit(peer)) {
    // Over a cap: closed at once, never queued.
    socket.close(ignored);
  } else if (tls) {
    std::make_shared<Session<Tls_Stream>>(shared_from_this(),
                                          Tls_Stream(Plain_Stream(std::move(socket)), *tls), peer)
        ->start();
  } else {
    std::make_shared<Session<Plain_Stream>>(shared_from_this(), Plain_Stream(std::move(socket)),
                                            peer)
        ->start();
  }
  accept();
}

void Http_Server_State::stop_sessions() {
  // The sessions are kept under the lock (one whose destructor has begun
  // waits there to leave the set, and is skipped) and stopped outside it:
  // the last reference to a session can be the one taken here, and its
  // destructor takes the lock too.
  std::vector<std::shared_ptr<Session_Base>> live;
  {
    std::lock_guard<std::mutex> lock(mutex);
    live.reserve(sessions.size());
    for (Session_Base* s : sessions)
      if (std::shared_ptr<Session_Base> kept = s->keep()) live.push_back(std::move(kept));
  }
  for (const std::shared_ptr<Session_Base>& s : live)
    s->stop_soon();
}

Http_Server::Http_Server(Http_Handler& handler, Http_Limits limits)
    : state_(std::make_shared<Http_Server_State>(handler, limits)) {}

Http_Server::~Http_Server() {
  stop();
}

bool Http_Server::use_tls(const Tls_Setup& setup, std::string& error) {
  state_->tls.emplace(asio::ssl::context::tls_server);
  state_->tls->set_options(asio::ssl::context::default_workarounds | asio::ssl::context::no_sslv2 |
                           asio::ssl::context::no_sslv3 | asio::ssl::context::no_tlsv1 |
                           asio::ssl::context::no_tlsv1_1);
  if (setup(*state_->tls->native_handle(), error)) return true;
  state_->tls.reset();
  return false;
}

bool Http_Server::listen(const std::string& address, unsigned short port, std::string& error) {
  beast::error_code ec;
  const asio::ip::address ip = asio::ip::make_address(address, ec);
  if (ec) {
    error = "cannot listen on " + address + ": not an IP address";
    return false;
  }
  const tcp::endpoint at(ip, port);
  tcp::acceptor& a = state_->acceptor;
  a.open(at.protocol(), ec);
  // SO_REUSEADDR lets a restarted service bind while the connections of the
  // one before linger; Linux never lets two sockets listen on one port with
  // it.  SO_REUSEPORT, which would, is not set.
  if (!ec) a.set_option(tcp::acceptor::reuse_address(true), ec);
  if (!ec) a.bind(at, ec);
  if (!ec) a.listen(asio::socket_base::max_listen_connections, ec);
  if (ec) {
    const std::string where =
        (ip.is_v6() ? "[" + address + "]" : address) + ":" + std::to_string(port);
    error = ec == asio::error::address_in_use
                ? "cannot listen on " + where + ": the port is in use by another program"
                : "cannot listen on " + where + ": " + ec.message();
    a.close(ec);
    return false;
  }
  return true;
}

unsigned short Http_Server::port() const {
  beast::error_code ec;
  const tcp::endpoint at = state_->acceptor.local_endpoint(ec);
  return ec ? 0 : at.port();
}

// What is posted to the io_context holds the state by a plain pointer: the
// state owns the io_context, which owns what waits in it, and a shared
// pointer there would keep both alive for ever when it never runs.
void Http_Server::run(int threads) {
  if (!state_->stopping)
    asio::post(state_->accept_strand, [state = state_.get()] { state->accept(); });
  std::vector<std::thread> more;
  for (int i = 1; i < threads; ++i)
    more.emplace_back([this] { state_->ioc.run(); });
  state_->ioc.run();
  for (std::thread& t : more)
    t.join();
}

void Http_Server::stop() {
  if (state_->stopping.exchange(true)) return;
  asio::post(state_->accept_strand, [state = state_.get()] {
    beast::error_code ignored;
    state->acceptor.close(ignored);
    state->accept_retry.cancel();
    state->stop_sessions();
  });
}

std::size_t Http_Server::connections() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->open;
}
