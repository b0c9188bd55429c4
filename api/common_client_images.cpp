// Queries of the platform's operating-system images.
#include "api/common_client.h"
#include "api/qingcloud_helper.h"
#include "json/insert.h"

namespace qingcloud {

using json_spirit::Array;
using json_spirit::Object;

bool Common_Client::describe_images(Object& params, Images& images) {
  if (!insert_zone_if_not_exists(params)) return false;
  return describe_resources("DescribeImages", params, records_handler("image_set", images));
}

bool Common_Client::describe_images_by_ids(const std::vector<std::string>& ids, Images& images) {
  if (ids.empty()) return true;
  Object params;
  insert(params)("images", Array_Maker(ids))("status", Array{"available"});
  return describe_images(params, images);
}

bool Common_Client::search_images(const std::string& search_word, Images& images) {
  Object params;
  insert(params)("search_word", search_word)("status", Array{"available"});
  return describe_images(params, images);
}

}  // namespace qingcloud
