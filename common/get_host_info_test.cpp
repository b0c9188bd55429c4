#include <array>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "common/host_info.h"
#include "host/agent/global_json_rpc.h"
#include "host/agent/host_manager.h"
#include "host/crypto/rsa_encoder.h"
#include "host/crypto/rsa_key.h"
#include "testing/log_capture.h"

namespace qingcloud {
namespace {

using json_spirit::Object;
using json_spirit::Value;

const char* const SECRET = "Canary-Secret-7f3a9c0e";

// Key generation is slow; the tests of this binary share two keys.
const secure_string& generated_key(int which) {
  static const std::array<secure_string, 2> keys = [] {
    secure_string a, b;
    EXPECT_TRUE(generate_rsa_private_key(2048, a));
    EXPECT_TRUE(generate_rsa_private_key(2048, b));
    return std::array<secure_string, 2>{a, b};
  }();
  return keys[which];
}
const secure_string& host_key() {
  return generated_key(0);
}
const secure_string& other_key() {
  return generated_key(1);
}

std::string encrypt_for(const secure_string& key, const std::string& plain) {
  RSA_Encoder enc(plain.data(), plain.size(), key.data(), key.size(), RSA_Encoder::BASE64_TEXT,
                  RSA_Encoder::OAEP_SHA256);
  EXPECT_TRUE(enc);
  return std::string(enc.get(), enc.length());
}

// The host's side: the settings it keeps for one environment.
class Get_Host_Info : public ::testing::Test {
 protected:
  void SetUp() override {
    Host_Manager::instance()->rsa_prvkey(host_key());
    stored = Object{{"version", "5.1.1"},
                    {"boss_host", "boss.sh1b.example.com"},
                    {"api_host", "api.sh1b.example.com"},
                    {"port", 8443},
                    {"ssl", true},
                    {"access_key", "QYACCESSKEYIDEXAMPLE"},
                    {"secret_access_key", encrypt_for(host_key(), SECRET)}};
    register_global_json_rpc("qingcloud.query", [this](const Value& params, Value& result) {
      asked = params;
      result = stored;
      return answer;
    });
  }
  void TearDown() override {
    unregister_global_json_rpc("qingcloud.query");
    Host_Manager::instance()->rsa_prvkey(secure_string());
  }

  void expect_secret_never_logged() {
    for (const std::string& line : log.messages())
      EXPECT_EQ(line.find(SECRET), std::string::npos) << line;
  }

  Value stored;
  Value asked;
  bool answer = true;
  testing_support::Log_Capture log;
};

TEST_F(Get_Host_Info, FetchesLoadsAndDecrypts) {
  Host_Info info;
  ASSERT_TRUE(get_host_info("env-3f2a", info));
  EXPECT_EQ(asked, Value(Object{{"uuid", "env-3f2a"}}));
  EXPECT_EQ(info.boss_host, "boss.sh1b.example.com");
  EXPECT_EQ(info.port, 8443);
  EXPECT_TRUE(info.ssl);
  EXPECT_EQ(info.access_key, "QYACCESSKEYIDEXAMPLE");
  EXPECT_EQ(info.secret_access_key, SECRET);
  EXPECT_TRUE(log.messages().empty());
}

TEST_F(Get_Host_Info, ReportsAFailingOrMissingQuery) {
  answer = false;
  Host_Info info;
  EXPECT_FALSE(get_host_info("env-3f2a", info));
  EXPECT_EQ(log.messages(), std::vector<std::string>{"Failed to request 'qingcloud.query'.\n"});

  // An answer that is not an object is a failed query too.
  answer = true;
  stored = json_spirit::Array{stored};
  log.clear();
  EXPECT_FALSE(get_host_info("env-3f2a", info));
  EXPECT_EQ(log.count("Failed to request 'qingcloud.query'.\n"), 1u);

  unregister_global_json_rpc("qingcloud.query");
  log.clear();
  EXPECT_FALSE(get_host_info("env-3f2a", info));
  EXPECT_EQ(log.count("Failed to request 'qingcloud.query'.\n"), 1u);
  EXPECT_EQ(info.boss_host, "");
}

TEST_F(Get_Host_Info, ReportsMalformedSettingsWithoutDecrypting) {
  stored.get_obj().erase("access_key");
  Host_Info info;
  EXPECT_FALSE(get_host_info("env-3f2a", info));
  EXPECT_EQ(log.messages(),
            std::vector<std::string>{
                "Invalid qingcloud host info format, exception: key 'access_key' not found.\n"});
}

TEST_F(Get_Host_Info, KeepsTheCipherTextWhenItDoesNotDecrypt) {
  const std::string foreign = encrypt_for(other_key(), SECRET);
  stored.get_obj()["secret_access_key"] = foreign;
  Host_Info info;
  EXPECT_FALSE(get_host_info("env-3f2a", info));
  EXPECT_EQ(info.secret_access_key, foreign.c_str());
  EXPECT_EQ(log.messages(), std::vector<std::string>{"Failed to RSA decrypt string.\n"});

  // Without a host key nothing decrypts either.
  Host_Manager::instance()->rsa_prvkey(secure_string());
  secure_string mine(encrypt_for(host_key(), SECRET));
  const secure_string before = mine;
  EXPECT_FALSE(decrypt_rsa_string(mine));
  EXPECT_EQ(mine, before);
  expect_secret_never_logged();
}

TEST_F(Get_Host_Info, ServesSeveralRequestThreadsAtOnce) {
  std::vector<std::thread> threads;
  std::vector<int> decrypted(4, 0);
  // Unlike the fixture's method this one records nothing: the threads share
  // only the stored settings, which they read.
  register_global_json_rpc("qingcloud.query", [this](const Value&, Value& result) {
    result = stored;
    return true;
  });
  for (std::size_t i = 0; i < decrypted.size(); ++i) {
    threads.emplace_back([&decrypted, i] {
      Host_Info info;
      decrypted[i] = get_host_info("env-" + std::to_string(i), info) &&
                     info.secret_access_key == SECRET && is_supported_version(info.version);
    });
  }
  for (std::thread& t : threads)
    t.join();
  EXPECT_EQ(decrypted, std::vector<int>(4, 1));
}

}  // namespace
}  // namespace qingcloud
