#include "api/qingcloud_user.h"

#include "json/extract.h"

namespace qingcloud {

void User::load_from_api_or_throw(const json_spirit::Value& val) {
  extract_or_throw(val.get_obj())("user_id", id)("user_name", name);
}

void Access_Key::load_from_api_or_throw(const json_spirit::Value& val) {
  extract_or_throw(val.get_obj())("access_key_id", access_key_id)("secret_access_key",
                                                                  secret_access_key);
}

}  // namespace qingcloud
