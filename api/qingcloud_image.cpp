#include "api/qingcloud_image.h"

#include "api/gib.h"
#include "json/extract.h"
#include "json/insert.h"
#include "support/log.h"

namespace qingcloud {

void Image::load_from_api_or_throw(const json_spirit::Value& val) {
  extract_or_throw(val.get_obj())("image_id", id)("image_name", name)("size", profile.size)(
      "provider", profile.provider)("platform", profile.platform)("os_family", profile.os_family)(
      "processor_type", profile.processor_type);
  profile.size = gib_to_bytes_or_throw(profile.size, "size");
}

bool Image_Profile::load(const json_spirit::Value& json) {
  try {
    extract(json.get_obj())("size", size)("os_family", os_family)("processor_type", processor_type)(
        "platform", platform)("provider", provider);
    return true;
  } catch (const std::exception& e) {
    QC_LOG_ERROR("Failed to load Image_Profile from JSON: %s\n", e.what());
    return false;
  }
}

json_spirit::Object Image_Profile::dump() const {
  json_spirit::Object obj;
  insert(obj)("size", size)("os_family", os_family)("processor_type", processor_type)(
      "platform", platform)("provider", provider);
  return obj;
}

}  // namespace qingcloud
