#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/json_spirit/value.h"

namespace qingcloud {

// The hardware of an instance.
struct Instance_Profile {
  std::string instance_type;
  std::string cpu_model;
  std::string cpu_topology;
  int cpu = 0;                     // virtual CPUs
  int memory = 0;                  // in the API's unit
  std::uint64_t os_disk_size = 0;  // bytes
  int instance_class = 0;

  // Takes the members of a profile object that are present with the right
  // kind and leaves the others; false, logged, when `json` is not an object.
  bool load(const json_spirit::Value& json);
  // Every member, the disk size in bytes.
  json_spirit::Object dump() const;
};

// A virtual machine of the platform (not the host agent's own instance
// record).
struct Instance {
  std::string status;
  std::string owner;
  std::string host;   // the physical host it runs on
  std::string image;  // the image it was made from
  std::string id;
  std::string name;
  Instance_Profile profile;
  std::vector<std::string> vxnets;   // network ids, in reply order
  std::vector<std::string> volumes;  // volume ids, in reply order

  // Reads by JSON Pointer; a missing or mistyped member throws
  // std::domain_error naming its full path (e.g. /extra/cpu_model).
  void load_from_api_or_throw(const json_spirit::Value& val);
};

using Instances = std::vector<Instance>;

}  // namespace qingcloud
