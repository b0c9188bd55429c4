// The observer hears of each exchange once, with the reply's status or, when
// no reply came, with none.
#include "host/http/http_exchange_observer.h"

#include <mutex>
#include <vector>

#include <gtest/gtest.h>

#include "host/http/http_method.h"
#include "host/http/http_session.h"
#include "host/http/http_test_support.h"
#include "testing/log_capture.h"
#include "testing/scripted_http_server.h"

namespace {

using http_test::local_session;
using http_test::Plain_Response;
using testing_support::Scripted_Reply;

class HTTP_Exchange_Observer_Test : public ::testing::Test {
 protected:
  HTTP_Exchange_Observer_Test() {
    set_http_exchange_observer([this](const HTTP_Exchange_Outcome& o) {
      std::lock_guard<std::mutex> lock(mutex_);
      statuses_.push_back(o.status);
      EXPECT_GE(o.duration.count(), 0);
    });
  }
  ~HTTP_Exchange_Observer_Test() override { set_http_exchange_observer(nullptr); }

  std::vector<int> statuses() {
    std::lock_guard<std::mutex> lock(mutex_);
    return statuses_;
  }

  std::mutex mutex_;
  std::vector<int> statuses_;
  testing_support::Log_Capture log_;
};

TEST_F(HTTP_Exchange_Observer_Test, HearsTheStatusOfEachReply) {
  testing_support::Scripted_HTTP_Server server;
  server.script(Scripted_Reply::json(R"({"ret_code":0})"));
  server.script(Scripted_Reply::with_status(503, "busy"));
  auto session = local_session(server.port());
  for (int i = 0; i < 2; ++i) {
    Plain_Response response;
    session->send(HTTP_Request(HTTP_METHOD_GET, "/iaas/", true), &response);
  }
  EXPECT_EQ(statuses(), (std::vector<int>{200, 503}));
}

TEST_F(HTTP_Exchange_Observer_Test, HearsNoStatusWhenNoReplyCame) {
  unsigned short closed_port = 0;
  {
    testing_support::Scripted_HTTP_Server gone;
    closed_port = gone.port();
  }
  Plain_Response response;
  EXPECT_EQ(
      local_session(closed_port)->send(HTTP_Request(HTTP_METHOD_GET, "/iaas/", true), &response),
      nullptr);
  EXPECT_EQ(statuses(), (std::vector<int>{0}));
}

TEST_F(HTTP_Exchange_Observer_Test, RemovedObserverHearsNothing) {
  set_http_exchange_observer(nullptr);
  testing_support::Scripted_HTTP_Server server;
  Plain_Response response;
  local_session(server.port())->send(HTTP_Request(HTTP_METHOD_GET, "/iaas/", true), &response);
  EXPECT_TRUE(statuses().empty());
}

}  // namespace
