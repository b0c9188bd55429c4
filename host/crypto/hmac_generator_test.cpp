#include "host/crypto/hmac_generator.h"

#include <cstdio>
#include <string>

#include <gtest/gtest.h>

namespace {

std::string hex(const unsigned char* p, std::size_t n) {
  std::string out;
  char buf[3];
  for (std::size_t i = 0; i < n; ++i) {
    std::snprintf(buf, sizeof buf, "%02x", p[i]);
    out += buf;
  }
  return out;
}

std::string bytes(std::size_t n, unsigned char c) {
  return std::string(n, static_cast<char>(c));
}

std::string counting_bytes(unsigned char from, unsigned char to) {
  std::string out;
  for (unsigned c = from; c <= to; ++c)
    out += static_cast<char>(c);
  return out;
}

struct Vector {
  const char* name;
  std::string key;
  std::string data;
  const char* hmac_sha256;  // a prefix when the case truncates its output
  const char* base64;
};

// RFC 4231, test cases 1 to 7 (HMAC-SHA-256); the base64 column is the
// standard base64 of the same digest.
const Vector RFC_4231[] = {
    {"case 1", bytes(20, 0x0b), "Hi There",
     "b0344c61d8db38535ca8afceaf0bf12b881dc200c9833da726e9376c2e32cff7",
     "sDRMYdjbOFNcqK/OrwvxK4gdwgDJgz2nJuk3bC4yz/c="},
    {"case 2", "Jefe", "what do ya want for nothing?",
     "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843",
     "W9zBRr9gdU5qBCQmCJV1x1oAPwidJzmDnexYuWTsOEM="},
    {"case 3", bytes(20, 0xaa), bytes(50, 0xdd),
     "773ea91e36800e46854db8ebd09181a72959098b3ef8c122d9635514ced565fe",
     "dz6pHjaADkaFTbjr0JGBpylZCYs++MEi2WNVFM7VZf4="},
    {"case 4", counting_bytes(0x01, 0x19), bytes(50, 0xcd),
     "82558a389a443c0ea4cc819899f2083a85f0faa3e578f8077a2e3ff46729665b",
     "glWKOJpEPA6kzIGYmfIIOoXw+qPlePgHei4/9GcpZls="},
    {"case 5 (truncated to 128 bits)", bytes(20, 0x0c), "Test With Truncation",
     "a3b6167473100ee06e0c796c2955552b", "o7YWdHMQDuBuDHlsKVVVK/pvfApqiu+Lk/hgqrDNIMU="},
    {"case 6", bytes(131, 0xaa), "Test Using Larger Than Block-Size Key - Hash Key First",
     "60e431591ee0b67f0d8a26aacbf5b77f8e0bc6213728c5140546040f0ee37f54",
     "YOQxWR7gtn8Niiaqy/W3f44LxiE3KMUUBUYEDw7jf1Q="},
    {"case 7", bytes(131, 0xaa),
     "This is a test using a larger than block-size key and a larger than block-size data. The "
     "key needs to be hashed before being used by the HMAC algorithm.",
     "9b09ffa71b942fcb27635fbcd5b0e944bfdc63644f0713938a7f51535c3a35e2",
     "mwn/pxuUL8snY1+81bDpRL/cY2RPBxOTin9RU1w6NeI="},
};

TEST(HMAC_Generator, MatchesTheRfc4231Vectors) {
  for (const Vector& v : RFC_4231) {
    SCOPED_TRACE(v.name);
    HMAC_Generator mac(v.key.data(), v.key.size(), v.data.data(), v.data.size(), "sha256", true);
    ASSERT_TRUE(mac);
    ASSERT_EQ(mac.digest_size(), 32u);
    const std::string expected = v.hmac_sha256;
    EXPECT_EQ(hex(mac.digest(), mac.digest_size()).substr(0, expected.size()), expected);
    EXPECT_STREQ(mac.c_str(), v.base64);
    EXPECT_EQ(mac.length(), 44u);
  }
}

TEST(HMAC_Generator, TakesOtherDigestsAndEmptyInput) {
  const std::string key = "key";
  const std::string data = "The quick brown fox jumps over the lazy dog";
  HMAC_Generator sha1(key.data(), key.size(), data.data(), data.size(), "sha1", false);
  ASSERT_TRUE(sha1);
  EXPECT_EQ(hex(sha1.digest(), sha1.digest_size()), "de7c9b85b8b78aa6bc8a7a36f70a90701c9db4d9");
  EXPECT_STREQ(sha1.c_str(), "") << "no text unless asked for";

  HMAC_Generator empty(nullptr, 0, nullptr, 0, "sha256", true);
  ASSERT_TRUE(empty);
  EXPECT_STREQ(empty.c_str(), "thNnmggU2ex3L5XXeMNfxf8Wl8STcVZTxscSFEKSxa0=");
}

TEST(HMAC_Generator, FailsOnAnUnknownDigest) {
  HMAC_Generator mac("k", 1, "d", 1, "no-such-digest", true);
  EXPECT_FALSE(mac);
  EXPECT_STREQ(mac.c_str(), "");
  EXPECT_FALSE(HMAC_Generator("k", 1, "d", 1, nullptr, true));
  EXPECT_FALSE(HMAC_Generator("k", 1, nullptr, 5, "sha256", true)) << "data length without data";
  EXPECT_FALSE(HMAC_Generator(nullptr, 5, "d", 1, "sha256", true)) << "key length without key";
}

}  // namespace
