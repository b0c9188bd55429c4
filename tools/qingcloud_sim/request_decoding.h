#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "tools/qingcloud_sim/api_error.h"
#include "tools/qingcloud_sim/params.h"
#include "tools/qingcloud_sim/wire_encoding.h"

namespace qingcloud_sim {

// The back-office API, whose POST forms pack the parameters into "params".
inline constexpr const char* BACK_OFFICE_PATH = "/boss2/";

// An API request as received, decoded as far as it goes.  Decoding never
// throws: what cannot be read is kept as the error to answer with.
struct Decoded_Request {
  std::string method;  // "GET" or "POST"
  std::string path;
  Param_List pairs;                // the query (GET) or form body (POST), decoded
  std::optional<Api_Error> error;  // the form itself is unreadable (1100)
  std::string action;              // the "action" pair, "" when absent
  std::optional<Params> params;    // the call's parameters, when readable
  std::optional<Api_Error> params_error;

  // A back-office POST: the parameters are the JSON text of "params".
  bool packed() const;
  // The value of the first pair named `name`, or null.
  const std::string* pair(std::string_view name) const;
  // The call's "offset" when it is readable, else 0.
  std::int64_t offset() const;
};

// GET: `raw` is the query string and every pair is a parameter ("name.N"
// pairs form lists).  POST: `raw` is the form body, of `content_type`
// "application/x-www-form-urlencoded"; on the back-office path its "params"
// pair holds the JSON text of the parameters, elsewhere its pairs are the
// parameters as in a query.
Decoded_Request decode_request(std::string method, std::string path, std::string_view raw,
                               std::string_view content_type = std::string_view());

}  // namespace qingcloud_sim
