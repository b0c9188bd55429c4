#include "tools/agent/settings_args.h"

#include <string>

#include <gtest/gtest.h>

namespace {

// Each field is named as the one who gave it knows it: the command line's
// option, or the console's key.
TEST(Settings_Limits, AFieldTooLongIsNamed) {
  const json_spirit::Object fine = settings_object("5.1.1", "boss.example.com", "api.example.com",
                                                   443, true, "QYACCESSKEYEXAMPLE", "c2VjcmV0");
  std::string error;
  EXPECT_TRUE(settings_within_limits(std::string(64, 'u'), fine, true, error)) << error;

  const struct {
    const char* key;
    std::size_t max;
    const char* option;
  } cases[] = {{"boss_host", 253, "--boss-host"},
               {"api_host", 253, "--api-host"},
               {"access_key", 64, "--access-key-id"},
               {"version", 64, "--version"},
               {"secret_access_key", 1024, "the secret"}};
  for (const auto& c : cases) {
    json_spirit::Object settings = fine;
    settings[c.key] = std::string(c.max, 'x');
    EXPECT_TRUE(settings_within_limits("u", settings, true, error)) << c.key;
    settings[c.key] = std::string(c.max + 1, 'x');
    for (bool as_options : {true, false}) {
      EXPECT_FALSE(settings_within_limits("u", settings, as_options, error));
      EXPECT_EQ(error, std::string(as_options ? c.option : c.key) + " is longer than " +
                           std::to_string(c.max) + " bytes");
    }
  }
  EXPECT_FALSE(settings_within_limits(std::string(65, 'u'), fine, false, error));
  EXPECT_EQ(error, "uuid is longer than 64 bytes");
}

}  // namespace
