#pragma once

#include <atomic>
#include <map>
#include <mutex>
#include <string>

#include "host/agent/json_rpc_handler.h"
#include "host/json_spirit/value.h"
#include "host/support/secure_string.h"

namespace testing_support {

// The host's RSA private key for tests: one 2048-bit key per test program.
const secure_string& test_host_key();
// `plain` encrypted for the test host key, as the host keeps a secret.
std::string encrypt_for_host(const std::string& plain);

// The JSON form of connection settings as the host hands them over: version
// "5.1.1", both API hosts `host`, no TLS, the secret encrypted for the host.
json_spirit::Object host_settings(const std::string& host, int port, const std::string& key_id,
                                  const std::string& secret);

// The host side of the plug-in: the test host key in Host_Manager, and the
// host's JSON-RPC method "qingcloud.query" answering the settings kept by
// uuid.  One at a time; calls from several threads are safe.
class Test_Host {
 public:
  Test_Host();
  ~Test_Host();
  Test_Host(const Test_Host&) = delete;
  Test_Host& operator=(const Test_Host&) = delete;

  void keep(const std::string& uuid, json_spirit::Object settings);
  // While false, "qingcloud.query" fails.
  void answer_queries(bool answer) { answer_ = answer; }
  std::size_t queries() const { return queries_; }

  // One request through the framework's dispatch of `handler`: the answer
  // sent (the response or error object), or null when nothing was sent.
  static json_spirit::Value call(JSON_RPC_Handler& handler, const json_spirit::Value& params,
                                 const json_spirit::Value& id = 1);

 private:
  mutable std::mutex mutex_;
  std::map<std::string, json_spirit::Object> kept_;
  std::atomic<bool> answer_{true};
  std::atomic<std::size_t> queries_{0};
};

// The error of a JSON-RPC answer as "code message", or "" for a response.
std::string error_of(const json_spirit::Value& answer);

}  // namespace testing_support
