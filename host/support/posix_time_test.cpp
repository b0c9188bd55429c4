#include "host/support/posix_time.h"

#include <gtest/gtest.h>

namespace {

const char* const API_TIME = "%Y-%m-%dT%H:%M:%SZ";

TEST(Format_To_POSIX_Time, ConvertsWholeMatchesAsUTC) {
  struct Case {
    std::string text;
    const char* format;
    std::time_t seconds;
  } cases[] = {
      {"2014-03-11T15:47:34Z", API_TIME, 1394552854},
      {"1970-01-01T00:00:00Z", API_TIME, 0},
      {"1969-12-31T23:59:59Z", API_TIME, -1},  // a real time, not an error
      {"2038-01-19T03:14:08Z", API_TIME, 2147483648},
      {"2016-02-29T12:00:00Z", API_TIME, 1456747200},
      {"2020-09-08 02:29:49", "%Y-%m-%d %H:%M:%S", 1599532189},
  };
  for (const Case& c : cases) {
    std::time_t t = 42;
    EXPECT_TRUE(format_to_posix_time(c.text, c.format, t)) << c.text;
    EXPECT_EQ(t, c.seconds) << c.text;
  }
}

TEST(Format_To_POSIX_Time, RefusesTextsOutsideTheFormat) {
  const std::string refused[] = {
      "2014-03-11 15:47:34Z",  // a blank where the format has "T"
      "2014-03-11T15:47:34",   // no "Z"
      "2014-03-11T15:47:34Z ",
      " 2014-03-11T15:47:34Z",  // blanks the C library's parser would skip
      "2014-03-11T15:47: 34Z",
      "2014-03-11T 15:47:34Z",
      "2014-3-11T15:47:34Z",  // a number without its leading zero
      "2014-03-11T15:47:34Zjunk",
      std::string("2014-03-11T15:47:34Z\0junk", 25),
      "2014-03-11",
      "",
      "2014-02-30T00:00:00Z",  // no such day
      "2015-02-29T00:00:00Z",
      "2014-03-11T24:00:00Z",
      "2014-03-11T23:59:60Z",
      "2014-13-11T15:47:34Z",
  };
  for (const std::string& text : refused) {
    std::time_t t = 42;
    EXPECT_FALSE(format_to_posix_time(text, API_TIME, t)) << text;
    EXPECT_EQ(t, 42) << text;
  }
  std::time_t t = 42;
  EXPECT_FALSE(format_to_posix_time("2014-03-11T15:47:34Z", nullptr, t));
}

}  // namespace
