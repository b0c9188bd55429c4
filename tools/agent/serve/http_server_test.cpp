// The HTTP core's limits, each where the core enforces it: what a client
// can make it hold (memory, connections, time) whatever it sends.
#include "tools/agent/serve/http_server.h"

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>
#include <zlib.h>

#include <gtest/gtest.h>

namespace {

// Answers every request "ok", or its `body` when the request asks /big.
class Echo_Handler : public Http_Handler {
 public:
  std::optional<Http_Reply> check_head(const Http_Request&) override { return std::nullopt; }
  void answer(Http_Request&& request, std::function<void(Http_Reply)> done) override {
    Http_Reply r;
    r.content_type = "application/json";
    r.body = request.target() == "/big" ? big : "ok";
    done(std::move(r));
  }
  std::string big = std::string(100000, 'x');
};

// A connection to 127.0.0.1:`port` from the loopback address 127.0.0.`from`,
// which tells the server's caps one peer from another.
int connect_from(int from, int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(0x7f000000 | static_cast<std::uint32_t>(from));
  EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local), 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<std::uint16_t>(port));
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
  return fd;
}

void send_all(int fd, const std::string& text) {
  for (std::size_t done = 0; done < text.size();) {
    const ssize_t n = ::send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return;  // the server may cut a flood short
    done += static_cast<std::size_t>(n);
  }
}

// What comes on `fd` until the server closes it or `patience` passes.
std::string received(int fd, std::chrono::milliseconds patience = std::chrono::seconds(10)) {
  std::string got;
  const auto deadline = std::chrono::steady_clock::now() + patience;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd p{fd, POLLIN, 0};
    if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
    char buf[8192];
    const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n <= 0) break;
    got.append(buf, static_cast<std::size_t>(n));
  }
  return got;
}

std::string get(const std::string& path, const std::string& fields = "") {
  return "GET " + path + " HTTP/1.1\r\nHost: x\r\n" + fields + "Connection: close\r\n\r\n";
}

class Http_Server_Test : public ::testing::Test {
 protected:
  void start(Http_Limits limits) {
    server = std::make_unique<Http_Server>(handler, limits);
    std::string error;
    ASSERT_TRUE(server->listen("127.0.0.1", 0, error)) << error;
    port = server->port();
    ran = false;
    serving = std::thread([this] {
      server->run(2);
      ran = true;
    });
  }
  // Stops the server; false, leaving it to hang, when run() does not return.
  bool stop(std::chrono::seconds patience = std::chrono::seconds(10)) {
    server->stop();
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (!ran && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (!ran) {
      serving.detach();
      (void)server.release();
      return false;
    }
    serving.join();
    server.reset();
    return true;
  }
  void TearDown() override {
    if (server) stop();
  }

  Echo_Handler handler;
  std::unique_ptr<Http_Server> server;
  std::thread serving;
  std::atomic<bool> ran{false};
  int port = 0;
};

// A head past 16 KiB or a body past its limit is refused as soon as the
// limit is passed, and the connection cut: however much more is sent, the
// server holds no more of it.  A head sent a byte at a time is cut at its
// deadline, however steadily it comes.
TEST_F(Http_Server_Test, AHeadOrBodyCannotOutgrowItsLimits) {
  Http_Limits limits;
  limits.request_time = std::chrono::seconds(1);
  start(limits);
  std::string flood = "GET / HTTP/1.1\r\nHost: x\r\n";
  while (flood.size() < 64 * 1024)
    flood += "X-Flood: " + std::string(100, 'f') + "\r\n";
  const struct {
    const char* what;
    std::string sent;
    std::string status;
  } cases[] = {
      {"a head of 64 KiB", flood, "HTTP/1.1 431 "},
      {"a body of 2 MiB", "POST / HTTP/1.1\r\nHost: x\r\nContent-Length: 2097152\r\n\r\n",
       "HTTP/1.1 413 "},
      {"a request line that is no HTTP", "hello\r\n\r\n", "HTTP/1.1 400 "},
  };
  for (const auto& c : cases) {
    const int fd = connect_from(1, port);
    send_all(fd, c.sent);
    const std::string answer = received(fd);
    EXPECT_EQ(answer.rfind(c.status, 0), 0u) << c.what << ": " << answer.substr(0, 80);
    ::close(fd);
  }

  const int slow = connect_from(1, port);
  const std::string head = get("/");
  bool cut = false;
  for (char c : head) {
    if (::send(slow, &c, 1, MSG_NOSIGNAL) != 1) {
      cut = true;
      break;
    }
    pollfd p{slow, POLLIN, 0};
    if (::poll(&p, 1, 200) == 1) {  // closed (EOF), never answered
      cut = received(slow).empty();
      break;
    }
  }
  EXPECT_TRUE(cut) << "a head sent one byte every 200 ms outlived its 1 s deadline";
  ::close(slow);
}

// Connections are counted in all and by peer; one past either cap is closed
// at once, never queued, and the others go on.
TEST_F(Http_Server_Test, ConnectionsAreCappedInAllAndByPeer) {
  Http_Limits limits;
  limits.max_connections = 4;
  limits.max_per_peer = 2;
  start(limits);
  std::vector<int> open = {connect_from(2, port), connect_from(2, port)};
  const int third_of_peer = connect_from(2, port);
  EXPECT_EQ(received(third_of_peer), "") << "a third connection of one peer";
  ::close(third_of_peer);
  open.push_back(connect_from(3, port));
  open.push_back(connect_from(4, port));
  const int fifth = connect_from(5, port);
  EXPECT_EQ(received(fifth), "") << "a fifth connection";
  ::close(fifth);

  send_all(open.back(), get("/"));
  EXPECT_EQ(received(open.back()).rfind("HTTP/1.1 200 ", 0), 0u);
  for (int fd : open)
    ::close(fd);
  // What was given back can be taken again.
  for (int i = 0; i < 100 && server->connections() > 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  const int again = connect_from(5, port);
  send_all(again, get("/"));
  EXPECT_EQ(received(again).rfind("HTTP/1.1 200 ", 0), 0u);
  ::close(again);
}

// Idle and trickling connections hold no thread: with 300 of them open,
// another client is answered as if they were not there.
TEST_F(Http_Server_Test, SlowClientsHoldNoThread) {
  start(Http_Limits());
  std::vector<int> slow;
  for (int i = 0; i < 300; ++i) {
    slow.push_back(connect_from(10 + i % 5, port));
    send_all(slow.back(), "GET / HTTP/1.1\r\nHost:");
  }
  for (int i = 0; i < 100 && server->connections() < 300; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(server->connections(), 300u);
  const int quick = connect_from(1, port);
  send_all(quick, get("/"));
  EXPECT_EQ(received(quick).rfind("HTTP/1.1 200 ", 0), 0u);
  ::close(quick);
  for (int fd : slow)
    ::close(fd);
}

// A large answer is packed with gzip when the client asks for it, and only
// then; a small one never is.
TEST_F(Http_Server_Test, PacksLargeAnswersWithGzipWhenAsked) {
  start(Http_Limits());
  const struct {
    const char* path;
    const char* accept;
    bool packed;
  } cases[] = {
      {"/big", "Accept-Encoding: gzip, deflate, br\r\n", true},
      {"/big", "Accept-Encoding: br\r\n", false},
      {"/big", "Accept-Encoding: gzip;q=0, br\r\n", false},
      {"/big", "", false},
      {"/small", "Accept-Encoding: gzip\r\n", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.path) + " " + c.accept);
    const int fd = connect_from(1, port);
    send_all(fd, get(c.path, c.accept));
    const std::string answer = received(fd);
    ::close(fd);
    const std::size_t end = answer.find("\r\n\r\n");
    ASSERT_NE(end, std::string::npos) << answer;
    const std::string head = answer.substr(0, end), body = answer.substr(end + 4);
    EXPECT_EQ(head.find("Content-Encoding: gzip") != std::string::npos, c.packed) << head;
    std::string plain = body;
    if (c.packed) {
      plain.assign(200000, '\0');
      z_stream z{};
      ASSERT_EQ(inflateInit2(&z, 15 + 16), Z_OK);
      z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(body.data()));
      z.avail_in = static_cast<uInt>(body.size());
      z.next_out = reinterpret_cast<Bytef*>(&plain[0]);
      z.avail_out = static_cast<uInt>(plain.size());
      EXPECT_EQ(inflate(&z, Z_FINISH), Z_STREAM_END);
      plain.resize(z.total_out);
      inflateEnd(&z);
    }
    EXPECT_EQ(plain, std::string(c.path) == "/big" ? handler.big : "ok");
  }
}

// Stopping ends every connection, whatever it is doing (waiting for a
// request, halfway through a head, kept alive after an answer, or closing
// from its end at that moment), and run() returns without waiting for them.
TEST_F(Http_Server_Test, StopEndsEveryConnectionWhateverItDoes) {
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    start(Http_Limits());
    std::vector<int> fds;
    for (int i = 0; i < 24; ++i) {
      fds.push_back(connect_from(1 + i % 4, port));
      if (i % 3 == 1) send_all(fds.back(), "GET / HTTP/1.1\r\nHost:");
      if (i % 3 == 2) send_all(fds.back(), "GET / HTTP/1.1\r\nHost: x\r\n\r\n");
    }
    for (int i = 0; i < 200 && server->connections() < fds.size(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::thread closing([&fds] {
      for (std::size_t i = 0; i < fds.size(); i += 2)
        ::close(fds[i]);
    });
    const bool stopped = stop();
    closing.join();
    for (std::size_t i = 1; i < fds.size(); i += 2)
      ::close(fds[i]);
    ASSERT_TRUE(stopped) << "run() still runs 10 s after stop()";
  }
}

// A port can have one listener: a second one fails and says why.
TEST_F(Http_Server_Test, APortInUseIsRefused) {
  start(Http_Limits());
  Http_Server second(handler, Http_Limits());
  std::string error;
  EXPECT_FALSE(second.listen("127.0.0.1", static_cast<unsigned short>(port), error));
  EXPECT_EQ(error, "cannot listen on 127.0.0.1:" + std::to_string(port) +
                       ": the port is in use by "
                       "another program");
}

}  // namespace
