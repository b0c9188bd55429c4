#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace testing_support {

class Test_Certificate;

// What the scripted server received in one request.
struct Received_Request {
  std::string method;
  std::string path;   // as sent, without the query
  std::string query;  // as sent, still encoded; empty when the target had no "?"
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;

  // The first header of that name (case-insensitive), or empty.
  std::string header(const std::string& name) const;
};

// The server's reply to one request.  Named faults:
// - with_status(code, body): any status, with a body or (empty body) without one;
// - not_json(text): a 200 whose body is not JSON;
// - silence(): the request is read and never answered until the server stops;
// - oversized(bytes, announced): a 200 body of `bytes` bytes, its length
//   announced in Content-Length (`announced`) or sent chunked.
struct Scripted_Reply {
  int status = 200;
  std::string body;
  std::string content_type = "application/json";
  std::vector<std::pair<std::string, std::string>> headers;
  bool silent = false;
  std::size_t stream_bytes = 0;  // when set, a generated body of this size
  bool announce_length = true;
  bool trickle = false;  // a chunked body of one byte every 100 ms, until the client goes

  static Scripted_Reply json(std::string body);
  static Scripted_Reply with_status(int code, std::string body = std::string());
  static Scripted_Reply not_json(std::string text);
  static Scripted_Reply silence();
  static Scripted_Reply oversized(std::size_t bytes, bool announced);
  static Scripted_Reply trickling();
};

// An HTTP (or, given a certificate, HTTPS) server on 127.0.0.1 with an
// ephemeral port, started by the constructor and stopped by the destructor.
// Replies come from the script in order; when it runs dry, from the
// responder (by default {"ret_code": 0}).  It records every request and
// counts the TCP connections it accepted.  Keep-alive connections stay open
// for up to 1000 requests.  Thread-safe.
class Scripted_HTTP_Server {
 public:
  using Responder = std::function<Scripted_Reply(const Received_Request&)>;

  Scripted_HTTP_Server();
  explicit Scripted_HTTP_Server(const Test_Certificate& certificate);
  ~Scripted_HTTP_Server();
  Scripted_HTTP_Server(const Scripted_HTTP_Server&) = delete;
  Scripted_HTTP_Server& operator=(const Scripted_HTTP_Server&) = delete;

  unsigned short port() const noexcept { return port_; }

  void script(Scripted_Reply reply);
  void responder(Responder responder);

  std::vector<Received_Request> received() const;
  std::size_t connections() const;
  // Waits up to two seconds until at least `n` connections were accepted.
  bool wait_for_connections(std::size_t n) const;
  // TLS handshakes that resumed an earlier session (0 for plain HTTP).
  long tls_sessions_resumed() const;

  // Lets every silent request go (they answer 503 to nobody).
  void release_silent();

 private:
  class Counting_Queue;

  void start();
  void handle(const httplib::Request& request, httplib::Response& response);
  Scripted_Reply next_reply(const Received_Request& request);

  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  unsigned short port_ = 0;

  mutable std::mutex mutex_;
  std::condition_variable released_cv_;
  mutable std::condition_variable connected_cv_;
  bool released_ = false;
  std::deque<Scripted_Reply> script_;
  Responder responder_;
  std::vector<Received_Request> received_;
  std::size_t connections_ = 0;
};

}  // namespace testing_support
