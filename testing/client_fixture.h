#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "api/common_client.h"
#include "host/http/http_method.h"
#include "host/json_spirit/value.h"
#include "testing/log_capture.h"
#include "testing/scripted_http_server.h"

namespace testing_support {

// The client base with its protected steps opened to tests.
class Test_Client : public qingcloud::Common_Client {
 public:
  Test_Client(int method, const char* uri) : Common_Client(method, uri, "5.1.1") {}

  using Common_Client::build_params;
  using Common_Client::describe_zones;
  using Common_Client::insert_zone_if_not_exists;
};

// The API parameters a request carried: for GET the decoded query pairs (lists
// as "name.N"), for POST the members of its JSON "params", both as an object.
json_spirit::Object sent_params(const Received_Request& request);

// A reply of "ret_code" 0 with "total_count" and `key` holding `records`.
std::string page_reply(std::int64_t total_count, const std::string& key,
                       const json_spirit::Array& records);

// A scripted server and an infrastructure-style client (GET "/iaas/") that
// logs in to it; the log is captured.
class Client_Test : public ::testing::Test {
 protected:
  // Logs the client in, the server answering "DescribeZones" with `zones`;
  // then forgets that request.
  void log_in(const std::vector<std::string>& zones = {"pek3a", "sh1a"});

  // The requests since the last `clear_requests`.
  std::vector<Received_Request> requests() const;
  void clear_requests();

  Log_Capture log;
  Scripted_HTTP_Server server;
  Test_Client client{HTTP_METHOD_GET, "/iaas/"};

 private:
  std::size_t seen_ = 0;
};

}  // namespace testing_support
