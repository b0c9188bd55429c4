#pragma once

#include <cstdint>

#include "tools/qingcloud_sim/action_context.h"
#include "tools/qingcloud_sim/platform.h"
#include "tools/qingcloud_sim/request_decoding.h"

namespace qingcloud_sim {

// Checks a request's key, signature and time stamp as the platform does, and
// returns who sent it.  Throws Api_Error: 1200 for a missing or unknown key,
// a missing signature or one that does not match; 1100 for an unknown
// "signature_method" or a missing or malformed "time_stamp"; 1300 for a time
// stamp more than `max_skew` seconds away from `wall_now`.
Caller authenticate(const Decoded_Request& request, const Platform& platform, std::int64_t wall_now,
                    std::int64_t max_skew);

}  // namespace qingcloud_sim
