// Cost of turning a typical request's parameters into its signed query string.
#include <string>

#include <benchmark/benchmark.h>

#include "api/api_params.h"
#include "api/qingcloud_session.h"
#include "api/qingcloud_session_test_peer.h"
#include "host/crypto/hmac_generator.h"

namespace {

using json_spirit::Array;
using json_spirit::Object;
using qingcloud::QingCloud_Session;
using qingcloud::QingCloud_Session_Peer;

// Thirteen members; with "access_key_id" and "time_stamp" the query string
// carries fifteen pairs before the signature.
Object typical_params() {
  return Object{
      {"action", "DescribeInstances"},
      {"version", 1},
      {"signature_version", 1},
      {"signature_method", "HmacSHA256"},
      {"zone", "pek3a"},
      {"offset", 200},
      {"limit", 100},
      {"status", Array{"running"}},
      {"instance_type", "c1m2"},
      {"search_word", "web server/primary"},
      {"owner", "usr-1234abcd"},
      {"verbose", 1},
      {"tags", Array{"tag-9s8d7f6g"}},
  };
}

std::time_t fixed_clock() {
  return 1709251199;
}

void connect(QingCloud_Session& session) {
  session.connect("api.qingcloud.example", 443, true, secure_string("QYACCESSKEYIDEXAMPLE"),
                  secure_string("SECRETACCESSKEYSECRETACCESSKEY1234567890"));
  QingCloud_Session_Peer::set_clock(session, fixed_clock);
}

// The whole step: parameters to the signed query string.
void signed_query_string(benchmark::State& state, int method, const char* uri) {
  QingCloud_Session session;
  connect(session);
  const Object params = typical_params();
  for (auto _ : state)
    benchmark::DoNotOptimize(QingCloud_Session_Peer::signed_query(session, method, uri, params));
}

void BM_SignedQueryString_Get(benchmark::State& state) {
  signed_query_string(state, HTTP_METHOD_GET, "/iaas/");
}
BENCHMARK(BM_SignedQueryString_Get);

void BM_SignedQueryString_Post(benchmark::State& state) {
  signed_query_string(state, HTTP_METHOD_POST, "/boss2/");
}
BENCHMARK(BM_SignedQueryString_Post);

// Its parts: the canonical query string alone, and the signature alone.
void BM_CanonicalQueryString(benchmark::State& state) {
  QingCloud_Session session;
  connect(session);
  const Object params = typical_params();
  for (auto _ : state)
    benchmark::DoNotOptimize(
        QingCloud_Session_Peer::query_string(session, HTTP_METHOD_GET, params));
}
BENCHMARK(BM_CanonicalQueryString);

void BM_HmacSha256Base64(benchmark::State& state) {
  QingCloud_Session session;
  connect(session);
  const std::string to_sign = "GET\n/iaas/\n" + QingCloud_Session_Peer::query_string(
                                                    session, HTTP_METHOD_GET, typical_params());
  const std::string key = "SECRETACCESSKEYSECRETACCESSKEY1234567890";
  for (auto _ : state) {
    HMAC_Generator mac(key.data(), key.size(), to_sign.data(), to_sign.size(), "sha256", true);
    benchmark::DoNotOptimize(mac.c_str());
  }
}
BENCHMARK(BM_HmacSha256Base64);

}  // namespace
