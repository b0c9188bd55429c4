#pragma once

#include <cstdint>

// Blocks the calling thread for `seconds` whole seconds.  The countdown waits
// only through this function; test programs link their own definition in
// place of the library's, so polling is tested without real waiting.
void countdown_sleep(std::int64_t seconds);
