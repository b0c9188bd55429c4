#pragma once

#include <cstddef>

#include "support/secure_string.h"

namespace qingcloud {

constexpr std::size_t INSTANCE_PASSWORD_LENGTH = 16;

// A fresh login password for a new instance: INSTANCE_PASSWORD_LENGTH
// letters and digits from OpenSSL's random generator, with upper-case and
// lower-case letters and digits all present, as the platform demands.  False,
// logged, when the generator fails; `password` is then empty.
bool generate_instance_password(secure_string& password);

}  // namespace qingcloud
