#include "api/qingcloud_volume.h"

#include "api/gib.h"
#include "json/extract.h"
#include "json/insert.h"
#include "support/log.h"

namespace qingcloud {

void Volume::load_from_api_or_throw(const json_spirit::Value& val) {
  const json_spirit::Object* attachment = nullptr;
  extract_or_throw(val.get_obj())("volume_id", id)("volume_name", name)("repl", profile.repl)(
      "size", profile.size)("volume_type", profile.volume_type)("instance", attachment);
  extract_or_throw (*attachment)("instance_id", instance);
  profile.size = gib_to_bytes_or_throw(profile.size, "size");
}

bool Volume_Profile::load(const json_spirit::Value& json) {
  try {
    extract(json.get_obj())("volume_type", volume_type)("size", size)("repl", repl);
    return true;
  } catch (const std::exception& e) {
    QC_LOG_ERROR("Failed to load Volume_Profile from JSON: %s\n", e.what());
    return false;
  }
}

json_spirit::Object Volume_Profile::dump() const {
  json_spirit::Object obj;
  insert(obj)("volume_type", volume_type)("size", size)("repl", repl);
  return obj;
}

}  // namespace qingcloud
