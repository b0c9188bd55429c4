// Signing of requests, stage by stage against recorded vectors: encoding,
// canonical query string, string to sign, signature.
#include <cstring>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "api/api_params.h"
#include "api/qingcloud_session.h"
#include "api/qingcloud_session_test_peer.h"
#include "host/crypto/hmac_generator.h"
#include "host/json_spirit/reader.h"
#include "testing/json_text.h"
#include "testing/signature_check.h"

namespace qingcloud {
namespace {

std::time_t g_now = 0;
std::time_t fixed_clock() {
  return g_now;
}

struct Signing_Vector {
  const char* name;
  int method;
  const char* uri;
  const char* access_key_id;
  const char* secret;
  std::time_t now;
  const char* params;  // JSON object
  // Stage 1: plain text and its encoded form.
  std::vector<std::pair<const char*, const char*>> encodings;
  // Stage 2: the query string without signature.
  const char* canonical_query;
  // Stage 3 is "METHOD\nURI\n" + canonical_query.  Stage 4: the base64 signature.
  const char* signature;
  // The pair appended last.
  const char* signature_pair;
};

const Signing_Vector VECTORS[] = {
    {"the platform's documented GET",
     HTTP_METHOD_GET,
     "/iaas/",
     "QYACCESSKEYIDEXAMPLE",
     "SECRETACCESSKEY",
     0,
     R"({"action":"RunInstances","count":1,"image_id":"centos64x86a","instance_name":"demo",
         "instance_type":"small_b","login_mode":"passwd","login_passwd":"QingCloud20130712",
         "signature_method":"HmacSHA256","signature_version":1,
         "time_stamp":"2013-08-27T14:30:10Z","version":1,"vxnets":["vxnet-0"],"zone":"pek1"})",
     {{"2013-08-27T14:30:10Z", "2013-08-27T14%3A30%3A10Z"}, {"vxnets.1", "vxnets.1"}},
     "access_key_id=QYACCESSKEYIDEXAMPLE&action=RunInstances&count=1&image_id=centos64x86a&"
     "instance_name=demo&instance_type=small_b&login_mode=passwd&login_passwd=QingCloud20130712&"
     "signature_method=HmacSHA256&signature_version=1&time_stamp=2013-08-27T14%3A30%3A10Z&"
     "version=1&vxnets.1=vxnet-0&zone=pek1",
     "32bseYy39DOlatuewpeuW5vpmW51sD1A/JdGynqSpP8=",
     "&signature=32bseYy39DOlatuewpeuW5vpmW51sD1A%2FJdGynqSpP8%3D"},
    {"a paged describe over GET, time from the clock",
     HTTP_METHOD_GET,
     "/iaas/",
     "QYACCESSKEYIDEXAMPLE",
     "SECRETACCESSKEY",
     1709251199,
     R"({"action":"DescribeZones","status":["active"],"version":1,"signature_version":1,
         "signature_method":"HmacSHA256","offset":0,"limit":100})",
     {{"2024-02-29T23:59:59Z", "2024-02-29T23%3A59%3A59Z"}},
     "access_key_id=QYACCESSKEYIDEXAMPLE&action=DescribeZones&limit=100&offset=0&"
     "signature_method=HmacSHA256&signature_version=1&status.1=active&"
     "time_stamp=2024-02-29T23%3A59%3A59Z&version=1",
     "7K4SXjjVpinRc3YKFly8mGkq28SN0WaH+53T/dfPXto=",
     "&signature=7K4SXjjVpinRc3YKFly8mGkq28SN0WaH%2B53T%2FdfPXto%3D"},
    {"a back-office POST packs everything into params",
     HTTP_METHOD_POST,
     "/boss2/",
     "AKID2",
     "another secret/+=",
     1377613810,
     R"({"action":"DescribeUsers","limit":20,"offset":0,"signature_method":"HmacSHA256",
         "signature_version":1,"version":1,"zone":"pek3","users":["usr-1","usr 2/x"]})",
     {{R"(["usr-1","usr 2/x"])", "%5B%22usr-1%22%2C%22usr%202%2Fx%22%5D"}},
     "access_key_id=AKID2&action=DescribeUsers&params=%7B%22action%22%3A%22DescribeUsers%22%2C%"
     "22limit%22%3A20%2C%22offset%22%3A0%2C%22signature_method%22%3A%22HmacSHA256%22%2C%"
     "22signature_version%22%3A1%2C%22users%22%3A%5B%22usr-1%22%2C%22usr%202%2Fx%22%5D%2C%"
     "22version%22%3A1%2C%22zone%22%3A%22pek3%22%7D&time_stamp=2013-08-27T14%3A30%3A10Z",
     "EkKh4cpbFj09f+KPB+N+HQgbvUeSWVmhnxkTRXf/8gI=",
     "&signature=EkKh4cpbFj09f%2BKPB%2BN%2BHQgbvUeSWVmhnxkTRXf%2F8gI%3D"},
};

json_spirit::Object parse(const char* text) {
  return testing_support::json_value(text).get_obj();
}

std::string encoded(const char* plain) {
  std::string out;
  http_encode_string_i(plain, API_Params::URL_ENCODE_FLAG, std::back_inserter(out));
  return out;
}

TEST(QingCloud_Session_Signing, ReproducesRecordedVectorsStageByStage) {
  for (const Signing_Vector& v : VECTORS) {
    SCOPED_TRACE(v.name);
    QingCloud_Session session;
    ASSERT_TRUE(session.connect("127.0.0.1", 1, false, secure_string(v.access_key_id),
                                secure_string(v.secret)));
    g_now = v.now;
    QingCloud_Session_Peer::set_clock(session, fixed_clock);

    for (const auto& [plain, expected] : v.encodings)
      EXPECT_EQ(encoded(plain), expected) << "encoding of " << plain;

    std::string query = QingCloud_Session_Peer::query_string(session, v.method, parse(v.params));
    EXPECT_EQ(query, v.canonical_query) << "canonical query string";

    const std::string to_sign =
        std::string(http_method_string(v.method)) + "\n" + v.uri + "\n" + v.canonical_query;
    HMAC_Generator mac(v.secret, std::strlen(v.secret), to_sign.data(), to_sign.size(), "sha256",
                       true);
    EXPECT_STREQ(mac.c_str(), v.signature) << "signature of the string to sign";

    ASSERT_TRUE(QingCloud_Session_Peer::fill_signature(session, v.method, v.uri, query));
    EXPECT_EQ(query, std::string(v.canonical_query) + v.signature_pair) << "signed query";

    // The platform's check, written apart from the session, agrees.
    auto verdict =
        testing_support::check_signature(http_method_string(v.method), v.uri, query, v.secret);
    EXPECT_TRUE(verdict.accepted) << verdict.reason;
    EXPECT_EQ(verdict.string_to_sign, to_sign);
  }
}

TEST(QingCloud_Session_Signing, PostCarriesExactlyFourParameters) {
  QingCloud_Session session;
  ASSERT_TRUE(session.connect("127.0.0.1", 1, false, secure_string("AK"), secure_string("S")));
  g_now = 1377613810;
  QingCloud_Session_Peer::set_clock(session, fixed_clock);
  json_spirit::Object params = parse(R"({"action":"DescribeHosts","zone":"pek3",
      "access_key_id":"ignored","time_stamp":"ignored too"})");
  auto form = testing_support::decode_form(
      QingCloud_Session_Peer::query_string(session, HTTP_METHOD_POST, params));
  ASSERT_EQ(form.size(), 4u);
  EXPECT_EQ(form["access_key_id"], "AK") << "members inside params replace nothing";
  EXPECT_EQ(form["action"], "DescribeHosts");
  EXPECT_EQ(form["time_stamp"], "2013-08-27T14:30:10Z");
  EXPECT_EQ(form["params"],
            R"({"access_key_id":"ignored","action":"DescribeHosts","time_stamp":"ignored too",)"
            R"("zone":"pek3"})");
}

TEST(QingCloud_Session_Signing, AnEmptyKeyIdOrAnUnreadableClockLeavesTheParameterOut) {
  QingCloud_Session session;
  ASSERT_TRUE(session.connect("127.0.0.1", 1, false, secure_string(), secure_string("S")));
  // A time that gmtime cannot convert gives no time stamp.
  g_now = std::numeric_limits<std::time_t>::max();
  QingCloud_Session_Peer::set_clock(session, fixed_clock);
  EXPECT_EQ(QingCloud_Session_Peer::query_string(session, HTTP_METHOD_GET,
                                                 parse(R"({"action":"DescribeZones"})")),
            "action=DescribeZones");
}

TEST(QingCloud_Session_Signing, SignaturesDependOnMethodPathAndSecret) {
  QingCloud_Session a;
  QingCloud_Session b;
  ASSERT_TRUE(a.connect("127.0.0.1", 1, false, secure_string("AK"), secure_string("S1")));
  ASSERT_TRUE(b.connect("127.0.0.1", 1, false, secure_string("AK"), secure_string("S2")));
  auto signed_query = [](QingCloud_Session& s, int method, const char* uri) {
    std::string q = "action=X";
    EXPECT_TRUE(QingCloud_Session_Peer::fill_signature(s, method, uri, q));
    return q;
  };
  const std::string base = signed_query(a, HTTP_METHOD_GET, "/iaas/");
  EXPECT_NE(base, signed_query(a, HTTP_METHOD_POST, "/iaas/"));
  EXPECT_NE(base, signed_query(a, HTTP_METHOD_GET, "/boss2/"));
  EXPECT_NE(base, signed_query(b, HTTP_METHOD_GET, "/iaas/"));
  EXPECT_EQ(base, signed_query(a, HTTP_METHOD_GET, "/iaas/"));
}

}  // namespace
}  // namespace qingcloud
