#include "api/qingcloud_network.h"

#include "json/extract.h"

namespace qingcloud {

void Vxnet::load_from_api_or_throw(const json_spirit::Value& val) {
  extract_or_throw(val.get_obj())("owner", owner)("vxnet_type", vxnet_type)("vxnet_id", id)(
      "vxnet_name", name)("vpc_router_id", vpc_router_id);
}

}  // namespace qingcloud
