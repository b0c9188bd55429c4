#include "json/extract.h"

namespace json_spirit {

bool object_get(const Object& obj, std::string_view key, unsigned short& out) {
  std::int64_t n = 0;
  if (!object_get(obj, key, n)) return false;
  out = static_cast<unsigned short>(n);
  return true;
}

}  // namespace json_spirit
