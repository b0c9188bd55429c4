#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <new>
#include <utility>

#include "api/resource_handler.h"
#include "host/json_spirit/value.h"
#include "support/log.h"

namespace qingcloud {

// Appends one record per element of the JSON array `value` to `resources`,
// handing `args` on to each record's loader (Host::WITH_DISK_INFO for hosts).
// True when every element loaded.  On the first malformed element (or when
// `value` is not an array) logs why and returns false; the records of the
// elements before it stay appended.  Never throws.
template <class Container, class... Args>
bool loads_from_api(const json_spirit::Value& value, Container& resources, const Args&... args) {
  try {
    const json_spirit::Array& elements = value.get_array();
    // Without a count told beforehand, growing by one page at a time would
    // move every record loaded so far on every page.
    const std::size_t needed = resources.size() + elements.size();
    if (needed > resources.capacity()) {
      resources.reserve(std::max(needed, 2 * resources.capacity()));
    }
    for (const json_spirit::Value& element : elements) {
      typename Container::value_type resource;
      resource.load_from_api_or_throw(element, args...);
      resources.push_back(std::move(resource));
    }
  } catch (const std::exception& e) {
    QC_LOG_ERROR("Invalid resource format, exception: %s.\n", e.what());
    return false;
  }
  return true;
}

// The most records that a describe's "total_count" makes room for at once; a
// larger count is not believed, and the pages make room as they come.
constexpr std::int64_t MAX_RESERVED_RECORDS = 1 << 20;

// A paged describe handler that loads the records of every page (the array
// under `key`) into `resources`, passing `args` to each record's loader.
// `resources` must outlive the call.  Room for the records of the whole call
// is made once, from the reply's count, so that a large listing neither
// moves its records again and again nor holds them twice while it grows.
template <class Container, class... Args>
Describe_Resource_Handler records_handler(const char* key, Container& resources, Args... args) {
  return Describe_Resource_Handler(
      key,
      [&resources, args...](const json_spirit::Value& page) {
        return loads_from_api(page, resources, args...);
      },
      [&resources](std::int64_t total) {
        if (total > 0 && total <= MAX_RESERVED_RECORDS) {
          try {
            resources.reserve(resources.size() + static_cast<std::size_t>(total));
          } catch (const std::bad_alloc&) {
            // Not fatal: the pages make room as they come, and fail then.
          }
        }
      });
}

// The same, page by page: each page's records are loaded into `page`
// (emptied first) and handed to `each`, which may take them; `on_total`
// hears the call's total once.  Nothing is gathered, so a caller that turns
// records into something else holds one page of them at a time.
template <class Container>
Describe_Resource_Handler pages_handler(const char* key, std::function<bool(Container&)> each,
                                        Describe_Resource_Handler::Total_Handler on_total =
                                            Describe_Resource_Handler::Total_Handler()) {
  return Describe_Resource_Handler(
      key,
      [each = std::move(each)](const json_spirit::Value& records) {
        Container page;
        return loads_from_api(records, page) && each(page);
      },
      std::move(on_total));
}

}  // namespace qingcloud
