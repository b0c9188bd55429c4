#include "api/qingcloud_user.h"

#include <gtest/gtest.h>

#include "testing/exception_text.h"
#include "testing/json_text.h"

namespace qingcloud {
namespace {

using testing_support::exception_text;
using testing_support::json_value;

TEST(Access_Key, LoadsBothKeysIntoSecureStrings) {
  Access_Key key;
  key.load_from_api_or_throw(json_value(R"({
    "access_key_id": "QYACCESSKEYIDEXAMPLE", "secret_access_key": "SECRETACCESSKEY0123456789abcdef",
    "owner": "usr-CT3owI01", "status": "active", "controller": "self"})"));
  EXPECT_EQ(key.access_key_id, "QYACCESSKEYIDEXAMPLE");
  EXPECT_EQ(key.secret_access_key, "SECRETACCESSKEY0123456789abcdef");
}

TEST(Access_Key, RequiresBothKeys) {
  Access_Key key;
  EXPECT_EQ(
      exception_text([&] {
        key.load_from_api_or_throw(json_value(R"({"access_key_id": "QYACCESSKEYIDEXAMPLE"})"));
      }),
      "key 'secret_access_key' not found");
}

TEST(User, LoadsIdAndNameIgnoringOtherKeys) {
  User user;
  user.load_from_api_or_throw(json_value(
      R"({"user_id": "usr-CT3owI01", "user_name": "ops", "email": "ops@example.com", "zones": ["sh1b"]})"));
  EXPECT_EQ(user.id, "usr-CT3owI01");
  EXPECT_EQ(user.name, "ops");
}

}  // namespace
}  // namespace qingcloud
