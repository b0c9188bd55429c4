#pragma once

// The wiped strings are the host's (host/support/secure_string.h): the
// plug-in uses the same, so that a secret the host hands over stays in
// storage that is wiped when released.
#include "host/support/secure_string.h"
