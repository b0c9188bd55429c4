#include "host/support/loose_version.h"

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

Loose_Version parsed(const std::string& text) {
  Loose_Version v;
  EXPECT_TRUE(v.parse(text)) << text;
  return v;
}

TEST(Loose_Version, ParsesDottedDecimals) {
  EXPECT_EQ(parsed("5.1.1").components(), (std::vector<std::uint64_t>{5, 1, 1}));
  EXPECT_EQ(parsed("12").components(), (std::vector<std::uint64_t>{12}));
  EXPECT_EQ(parsed("05.010").components(), (std::vector<std::uint64_t>{5, 10}));
  EXPECT_EQ(parsed("18446744073709551615.0").components().front(), UINT64_MAX);
}

TEST(Loose_Version, RefusesOtherTextsAndKeepsThePreviousValue) {
  for (const char* text : {"", "abc", "5.", ".5", "5..1", "5.1.1 ", " 5.1.1", "5.1.1a", "5.1-rc1",
                           "-5.1", "+5", "5,1", "18446744073709551616"}) {
    Loose_Version v = parsed("1.2");
    EXPECT_FALSE(v.parse(text)) << text;
    EXPECT_EQ(v.components(), (std::vector<std::uint64_t>{1, 2})) << text;
  }
}

TEST(Loose_Version, ComparesComponentByComponent) {
  struct Case {
    const char* a;
    const char* b;
    int sign;
  } cases[] = {
      {"5.1.1", "5.1.1", 0}, {"5.01.1", "5.1.1", 0}, {"5.1.0", "5.1.1", -1},  {"5.10", "5.9", 1},
      {"6", "5.9.9", 1},     {"5.1", "5.1.0", -1},   {"5.1.1.0", "5.1.1", 1},
  };
  for (const Case& c : cases) {
    int r = parsed(c.a).compare(parsed(c.b));
    EXPECT_EQ((r > 0) - (r < 0), c.sign) << c.a << " vs " << c.b;
    int back = parsed(c.b).compare(parsed(c.a));
    EXPECT_EQ((back > 0) - (back < 0), -c.sign) << c.b << " vs " << c.a;
  }
}

}  // namespace
