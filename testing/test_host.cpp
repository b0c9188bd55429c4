#include "testing/test_host.h"

#include <gtest/gtest.h>

#include "host/agent/global_json_rpc.h"
#include "host/agent/host_manager.h"
#include "host/crypto/rsa_encoder.h"
#include "host/crypto/rsa_key.h"
#include "host/json_spirit/writer.h"
#include "testing/canary.h"

namespace testing_support {

const secure_string& test_host_key() {
  static const secure_string key = [] {
    secure_string pem;
    EXPECT_TRUE(generate_rsa_private_key(2048, pem));
    return pem;
  }();
  return key;
}

std::string encrypt_for_host(const std::string& plain) {
  const secure_string& key = test_host_key();
  RSA_Encoder enc(plain.data(), plain.size(), key.data(), key.size(), RSA_Encoder::BASE64_TEXT,
                  RSA_Encoder::OAEP_SHA256);
  EXPECT_TRUE(enc);
  return enc ? std::string(enc.get(), enc.length()) : std::string();
}

json_spirit::Object host_settings(const std::string& host, int port, const std::string& key_id,
                                  const std::string& secret) {
  add_canary(secret);  // decrypted by the plug-in, shown by nobody
  return json_spirit::Object{{"version", "5.1.1"},
                             {"boss_host", host},
                             {"api_host", host},
                             {"port", port},
                             {"ssl", false},
                             {"access_key", key_id},
                             {"secret_access_key", encrypt_for_host(secret)}};
}

Test_Host::Test_Host() {
  Host_Manager::instance()->rsa_prvkey(test_host_key());
  register_global_json_rpc("qingcloud.query",
                           [this](const json_spirit::Value& params, json_spirit::Value& result) {
                             ++queries_;
                             if (!answer_ || params.type() != json_spirit::obj_type) return false;
                             const json_spirit::Object& p = params.get_obj();
                             auto uuid = p.find("uuid");
                             if (uuid == p.end() || uuid->second.type() != json_spirit::str_type)
                               return false;
                             std::lock_guard<std::mutex> lock(mutex_);
                             auto found = kept_.find(uuid->second.get_str());
                             if (found == kept_.end()) return false;
                             result = found->second;
                             return true;
                           });
}

Test_Host::~Test_Host() {
  unregister_global_json_rpc("qingcloud.query");
  Host_Manager::instance()->rsa_prvkey(secure_string());
}

void Test_Host::keep(const std::string& uuid, json_spirit::Object settings) {
  std::lock_guard<std::mutex> lock(mutex_);
  kept_[uuid] = std::move(settings);
}

json_spirit::Value Test_Host::call(JSON_RPC_Handler& handler, const json_spirit::Value& params,
                                   const json_spirit::Value& id) {
  auto* channel = new JSON_RPC_Collecting_Channel();
  JSON_RPC_Channel_var channel_var(channel);
  JSON_RPC_Object_var request(new JSON_RPC_Request(id, "qingcloud.test", params));
  handler.handle_object(channel_var, request);
  const json_spirit::Value answer = channel->last_json();
  expect_no_canary(json_spirit::JSON_Dump(answer, false).str(), "JSON-RPC answer");
  return answer;
}

std::string error_of(const json_spirit::Value& answer) {
  if (answer.type() != json_spirit::obj_type) return "no answer";
  const json_spirit::Object& o = answer.get_obj();
  auto error = o.find("error");
  if (error == o.end()) return "";
  const json_spirit::Object& e = error->second.get_obj();
  return std::to_string(e.at("code").get_int()) + " " + e.at("message").get_str();
}

}  // namespace testing_support
