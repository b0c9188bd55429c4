#pragma once

#include <string>

namespace testing_support {

// The folder of shared test data from outside the project (the JSON parser
// suite, platform reply samples): $QC_SHARED_DIR, else ../shared from the
// working directory.
std::string shared_dir();

// The whole content of a file; fails the current test when it cannot be read.
std::string read_file(const std::string& path);

}  // namespace testing_support
