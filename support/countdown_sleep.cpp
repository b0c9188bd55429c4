#include "support/countdown_sleep.h"

#include <limits>

#include <ace/OS_NS_unistd.h>

// Kept alone in its file so that a test program's own definition replaces it.
void countdown_sleep(std::int64_t seconds) {
  while (seconds > 0) {
    auto chunk = static_cast<unsigned>(seconds > std::numeric_limits<unsigned>::max()
                                           ? std::numeric_limits<unsigned>::max()
                                           : seconds);
    ACE_OS::sleep(chunk);
    seconds -= chunk;
  }
}
