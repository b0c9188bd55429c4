#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/json_spirit/value.h"

namespace qingcloud {

// A physical host of the platform.
struct Host {
  enum { WITH_DISK_INFO = 1 };  // also read the disk figures
  using Flags = std::uint32_t;

  std::string id;
  std::string container_mode;
  double free_disk = 0.0;
  double used_disk = 0.0;
  double disk_usage = 0.0;

  // Fills the record from one element of a describe reply; throws on a
  // malformed element.  The disk figures are required with WITH_DISK_INFO and
  // not read without it.
  void load_from_api_or_throw(const json_spirit::Value& val, Flags flags = 0);
};

using Hosts = std::vector<Host>;

}  // namespace qingcloud
