#include "support/snprintf.h"

#include <string>

#include <gtest/gtest.h>

#include "support/to_string.h"

namespace {

TEST(Snprintf, FormatsShortTextsInline) {
  snprintf_t s("%s\n%s\n%s", "GET", "/iaas/", "a=1&b=2");
  EXPECT_STREQ(s.c_str(), "GET\n/iaas/\na=1&b=2");
  EXPECT_EQ(s.size(), 18u);
}

TEST(Snprintf, NeverCutsLongTexts) {
  const std::size_t lengths[] = {snprintf_t::INLINE_CAPACITY - 1, snprintf_t::INLINE_CAPACITY,
                                 snprintf_t::INLINE_CAPACITY + 1, 100000};
  for (std::size_t n : lengths) {
    std::string long_text(n, 'q');
    snprintf_t s("<%s>", long_text.c_str());
    EXPECT_EQ(s.size(), n + 2);
    EXPECT_EQ(std::string(s.c_str()), "<" + long_text + ">");
  }
}

TEST(To_String, DecimalTextOfIntegers) {
  EXPECT_EQ(to_string(0), "0");
  EXPECT_EQ(to_string(-5), "-5");
  EXPECT_EQ(to_string(2147483647), "2147483647");
  EXPECT_EQ(to_string(18446744073709551615ull), "18446744073709551615");
  EXPECT_EQ(to_string(static_cast<std::int64_t>(INT64_MIN)), "-9223372036854775808");
}

}  // namespace
