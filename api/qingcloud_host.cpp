#include "api/qingcloud_host.h"

#include "json/extract.h"

namespace qingcloud {

void Host::load_from_api_or_throw(const json_spirit::Value& val, Flags flags) {
  auto ex = extract_or_throw(val.get_obj());
  ex("host_machine", id)("container_mode", container_mode);
  if (flags & WITH_DISK_INFO)
    ex("free_disk", free_disk)("used_disk", used_disk)("disk_usage", disk_usage);
}

}  // namespace qingcloud
