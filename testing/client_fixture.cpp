#include "testing/client_fixture.h"

#include <gtest/gtest.h>

#include "host/json_spirit/reader.h"
#include "host/json_spirit/writer.h"
#include "testing/signature_check.h"

namespace testing_support {

json_spirit::Object sent_params(const Received_Request& request) {
  json_spirit::Object params;
  if (request.method == "POST") {
    json_spirit::Value json;
    std::string text = decode_form(request.body)["params"];
    EXPECT_TRUE(json_spirit::read(text, json)) << text;
    if (json.type() == json_spirit::obj_type) params = json.get_obj();
    return params;
  }
  for (const auto& [name, value] : decode_pairs(request.query))
    params[name] = value;
  return params;
}

std::string page_reply(std::int64_t total_count, const std::string& key,
                       const json_spirit::Array& records) {
  json_spirit::Object reply;
  reply["ret_code"] = 0;
  reply["total_count"] = total_count;
  reply[key] = records;
  return json_spirit::JSON_Dump(reply, false).str();
}

void Client_Test::log_in(const std::vector<std::string>& zones) {
  json_spirit::Array zone_set;
  for (const std::string& zone : zones)
    zone_set.push_back(json_spirit::Object{{"zone_id", zone}});
  server.script(Scripted_Reply::json(
      page_reply(static_cast<std::int64_t>(zones.size()), "zone_set", zone_set)));
  ASSERT_TRUE(client.login("127.0.0.1", server.port(), false, secure_string("QYTESTKEY"),
                           secure_string("test-secret")));
  clear_requests();
  log.clear();
}

std::vector<Received_Request> Client_Test::requests() const {
  std::vector<Received_Request> all = server.received();
  return std::vector<Received_Request>(all.begin() + static_cast<std::ptrdiff_t>(seen_), all.end());
}

void Client_Test::clear_requests() {
  seen_ = server.received().size();
}

}  // namespace testing_support
