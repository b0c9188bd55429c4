#include "tools/qingcloud_sim/signature.h"

#include <gtest/gtest.h>

#include "tools/qingcloud_sim/wire_encoding.h"

namespace qingcloud_sim {
namespace {

// Known answers: the platform's documented signing example (HMAC-SHA256 and
// the same string under HMAC-SHA1), and a back-office form signed with the
// demo key.  The signatures were computed apart from this code.
struct Vector {
  const char* name;
  const char* method;
  const char* path;
  Param_List pairs;
  const char* secret;
  Signature_Method signature_method;
  const char* canonical;
  const char* signature;
};

const Param_List DOCUMENTED_PAIRS = {
    {"count", "1"},
    {"vxnets.1", "vxnet-0"},
    {"zone", "pek1"},
    {"instance_type", "small_b"},
    {"signature_version", "1"},
    {"signature_method", "HmacSHA256"},
    {"instance_name", "demo"},
    {"image_id", "centos64x86a"},
    {"login_mode", "passwd"},
    {"login_passwd", "QingCloud20130712"},
    {"version", "1"},
    {"access_key_id", "QYACCESSKEYIDEXAMPLE"},
    {"action", "RunInstances"},
    {"time_stamp", "2013-08-27T14:30:10Z"},
};

Param_List with_method(Param_List pairs, const char* method) {
  for (auto& pair : pairs)
    if (pair.first == "signature_method") pair.second = method;
  return pairs;
}

const Vector VECTORS[] = {
    {"documented example", "GET", "/iaas/", DOCUMENTED_PAIRS, "SECRETACCESSKEY",
     Signature_Method::HMAC_SHA256,
     "access_key_id=QYACCESSKEYIDEXAMPLE&action=RunInstances&count=1&image_id=centos64x86a&"
     "instance_name=demo&instance_type=small_b&login_mode=passwd&login_passwd=QingCloud20130712&"
     "signature_method=HmacSHA256&signature_version=1&time_stamp=2013-08-27T14%3A30%3A10Z&"
     "version=1&vxnets.1=vxnet-0&zone=pek1",
     "32bseYy39DOlatuewpeuW5vpmW51sD1A/JdGynqSpP8="},
    {"documented example under HMAC-SHA1", "GET", "/iaas/",
     with_method(DOCUMENTED_PAIRS, "HmacSHA1"), "SECRETACCESSKEY", Signature_Method::HMAC_SHA1,
     "access_key_id=QYACCESSKEYIDEXAMPLE&action=RunInstances&count=1&image_id=centos64x86a&"
     "instance_name=demo&instance_type=small_b&login_mode=passwd&login_passwd=QingCloud20130712&"
     "signature_method=HmacSHA1&signature_version=1&time_stamp=2013-08-27T14%3A30%3A10Z&"
     "version=1&vxnets.1=vxnet-0&zone=pek1",
     "xKXNvEfYASmhWV9NXZVZqLI4C8A="},
    {"back-office form",
     "POST",
     "/boss2/",
     {{"time_stamp", "2023-03-01T08:00:00Z"},
      {"params", "{\"status\":[\"active\"]}"},
      {"action", "DescribeZones"},
      {"access_key_id", "QYDEMOBOSS0000000001"},
      {"signature", "ignored"}},
     "demo-boss-secret",
     Signature_Method::HMAC_SHA256,
     "access_key_id=QYDEMOBOSS0000000001&action=DescribeZones&"
     "params=%7B%22status%22%3A%5B%22active%22%5D%7D&time_stamp=2023-03-01T08%3A00%3A00Z",
     "/h5E/Co7UJqviBfhbXZlxV2OVpoBGFEYZRZTFBFNrUQ="},
};

TEST(Signature, Known_answers_stage_by_stage) {
  for (const Vector& v : VECTORS) {
    SCOPED_TRACE(v.name);
    const std::string canonical = canonical_query(v.pairs);
    EXPECT_EQ(canonical, v.canonical);
    const std::string text = string_to_sign(v.method, v.path, canonical);
    EXPECT_EQ(text, std::string(v.method) + "\n" + v.path + "\n" + v.canonical);
    EXPECT_EQ(compute_signature(v.signature_method, v.secret, text), v.signature);
  }
}

TEST(Signature, Percent_encoding_keeps_only_unreserved_bytes) {
  const std::pair<const char*, const char*> cases[] = {
      {"a b/c", "a%20b%2Fc"},
      {"x~y_z-1.0", "x~y_z-1.0"},
      {"a+b=c&d", "a%2Bb%3Dc%26d"},
      {"2013-08-27T14:30:10Z", "2013-08-27T14%3A30%3A10Z"},
      {"\xC3\xA9", "%C3%A9"},
      {"[\"x\"]", "%5B%22x%22%5D"},
      {"", ""},
  };
  for (const auto& [plain, encoded] : cases)
    EXPECT_EQ(percent_encode(plain), encoded) << plain;
}

TEST(Signature, Canonical_query_sorts_by_encoded_name_and_drops_the_signature) {
  EXPECT_EQ(
      canonical_query({{"b", "1"}, {"a.2", "2"}, {"a.10", "3"}, {"A", "4"}, {"signature", "x"}}),
      "A=4&a.10=3&a.2=2&b=1");
  EXPECT_EQ(canonical_query({}), "");
  EXPECT_EQ(canonical_query({{"zone", ""}}), "zone=");
}

TEST(Signature, Methods_and_comparison) {
  Signature_Method method;
  EXPECT_TRUE(parse_signature_method("", &method));
  EXPECT_EQ(method, Signature_Method::HMAC_SHA256);
  EXPECT_TRUE(parse_signature_method("HmacSHA1", &method));
  EXPECT_EQ(method, Signature_Method::HMAC_SHA1);
  EXPECT_FALSE(parse_signature_method("HmacMD5", &method));
  EXPECT_FALSE(parse_signature_method("hmacsha256", &method));

  EXPECT_TRUE(signatures_equal("abc=", "abc="));
  EXPECT_FALSE(signatures_equal("abc=", "abd="));
  EXPECT_FALSE(signatures_equal("abc=", "abc"));
}

TEST(Wire_Encoding, Decodes_forms_and_refuses_bad_escapes) {
  struct Case {
    const char* text;
    bool ok;
    Param_List pairs;
  };
  const Case cases[] = {
      {"a=1&b=x%20y", true, {{"a", "1"}, {"b", "x y"}}},
      {"a=1+2&&b", true, {{"a", "1 2"}, {"b", ""}}},
      {"n%2Em=%7E%2f", true, {{"n.m", "~/"}}},
      {"a==b", true, {{"a", "=b"}}},
      {"", true, {}},
      {"a=%zz", false, {}},
      {"a=%4", false, {}},
      {"a=%", false, {}},
      {"%G1=x", false, {}},
  };
  for (const Case& c : cases) {
    Param_List pairs;
    EXPECT_EQ(parse_form(c.text, &pairs), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(pairs, c.pairs) << c.text;
    }
  }
  std::string out;
  EXPECT_TRUE(percent_decode(percent_encode("\x01 \xFF/%+"), &out));
  EXPECT_EQ(out, "\x01 \xFF/%+");
}

}  // namespace
}  // namespace qingcloud_sim
