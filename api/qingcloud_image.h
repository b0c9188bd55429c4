#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/json_spirit/value.h"

namespace qingcloud {

// Size and properties of an OS image.
struct Image_Profile {
  std::uint64_t size = 0;  // bytes
  std::string os_family;
  std::string processor_type;
  std::string platform;
  std::string provider;

  // Takes the members of a profile object that are present with the right
  // kind and leaves the others; false, logged, when `json` is not an object.
  bool load(const json_spirit::Value& json);
  // Every member, the size in bytes.
  json_spirit::Object dump() const;
};

struct Image {
  std::string id;
  std::string name;
  Image_Profile profile;

  void load_from_api_or_throw(const json_spirit::Value& val);
};

using Images = std::vector<Image>;

}  // namespace qingcloud
