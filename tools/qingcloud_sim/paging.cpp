#include "tools/qingcloud_sim/paging.h"

#include "tools/qingcloud_sim/api_error.h"
#include "tools/qingcloud_sim/params.h"

namespace qingcloud_sim {

Page Page::of(const Params& params) {
  Page page;
  const std::int64_t offset = params.integer_or("offset", 0);
  const std::int64_t limit = params.integer_or("limit", 0);
  if (offset < 0) throw invalid_parameter("offset", "should not be negative");
  if (limit < 0) throw invalid_parameter("limit", "should not be negative");
  page.offset = static_cast<std::size_t>(offset);
  if (limit > 0)
    page.limit =
        static_cast<std::size_t>(limit) < MAX_LIMIT ? static_cast<std::size_t>(limit) : MAX_LIMIT;
  return page;
}

}  // namespace qingcloud_sim
