#pragma once

#include <string>
#include <vector>

#include "host/json_spirit/value.h"
#include "support/secure_string.h"

namespace qingcloud {

// A user of the platform.
struct User {
  std::string id;
  std::string name;

  // Fills the record from one element of a describe reply; throws on a
  // malformed element, leaving the record partly filled.
  void load_from_api_or_throw(const json_spirit::Value& val);
};

// An API key pair of a user.
struct Access_Key {
  secure_string access_key_id;
  secure_string secret_access_key;

  void load_from_api_or_throw(const json_spirit::Value& val);
};

using Users = std::vector<User>;
using Access_Keys = std::vector<Access_Key>;

}  // namespace qingcloud
