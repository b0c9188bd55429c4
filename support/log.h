#pragma once

// The plug-in logs through the host's macros, so that its lines and the
// host's read alike.
#include "host/support/log.h"
