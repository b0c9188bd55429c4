#pragma once

#include <string>

#include "tools/qingcloud_sim/faults.h"

namespace qingcloud_sim {

// Applies to a reply's JSON text the faults that shape a served answer
// (total_count drift, a malformed first record, no "ret_code").  Returns the
// text unchanged when none of them was chosen.
std::string shape_reply(std::string reply, const Chosen_Faults& chosen);

}  // namespace qingcloud_sim
