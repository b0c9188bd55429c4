#include "testing/shared_data.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

namespace testing_support {

std::string shared_dir() {
  const char* dir = std::getenv("QC_SHARED_DIR");
  return dir && *dir ? dir : "../shared";
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in.good()) << "cannot read " << path;
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

}  // namespace testing_support
