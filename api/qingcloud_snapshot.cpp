#include "api/qingcloud_snapshot.h"

#include <stdexcept>

#include "host/support/posix_time.h"
#include "json/extract.h"
#include "json/pextract.h"

namespace qingcloud {

void Snapshot::load_from_api_or_throw(const json_spirit::Value& val) {
  const std::string* time_text = nullptr;
  extract_or_throw(val.get_obj())("snapshot_id", id)("snapshot_name", name)(
      "snapshot_type", snapshot_type)("create_time", time_text);
  pextract_or_throw(val)("/resource/resource_id", resource_id);
  if (!format_to_posix_time(*time_text, "%Y-%m-%dT%H:%M:%SZ", create_time)) {
    throw std::domain_error("Attribute 'create_time' is an invalid time!");
  }
}

}  // namespace qingcloud
