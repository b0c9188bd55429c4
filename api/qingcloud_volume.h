#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/json_spirit/value.h"

namespace qingcloud {

// How a volume is or is to be built.
struct Volume_Profile {
  int volume_type = 0;     // type code as the API gives it
  std::uint64_t size = 0;  // bytes
  std::string repl;        // replication policy as the API gives it

  // Takes the members of a profile object that are present with the right
  // kind and leaves the others; false, logged, when `json` is not an object.
  bool load(const json_spirit::Value& json);
  // Every member, sizes in bytes.
  json_spirit::Object dump() const;
};

// A disk volume.
struct Volume {
  std::string instance;  // the instance it is attached to
  std::string id;
  std::string name;
  Volume_Profile profile;

  void load_from_api_or_throw(const json_spirit::Value& val);
};

using Volumes = std::vector<Volume>;

}  // namespace qingcloud
