// Runs a fuzz target over saved inputs, so that its corpus serves as a
// regression test in builds without libFuzzer.  Arguments are files or
// folders; a folder contributes its regular files in name order.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

#include "fuzz/fuzz_support.h"

namespace fs = std::filesystem;

namespace {

bool collect(const fs::path& path, std::vector<fs::path>& inputs) {
  std::error_code ec;
  if (fs::is_regular_file(path, ec)) {
    inputs.push_back(path);
    return true;
  }
  if (!fs::is_directory(path, ec)) {
    std::fprintf(stderr, "no such file or folder: %s\n", path.c_str());
    return false;
  }
  std::vector<fs::path> files;
  for (const fs::directory_entry& entry : fs::directory_iterator(path, ec)) {
    if (entry.is_regular_file(ec)) files.push_back(entry.path());
  }
  if (ec) {
    std::fprintf(stderr, "cannot list %s: %s\n", path.c_str(), ec.message().c_str());
    return false;
  }
  std::sort(files.begin(), files.end());
  inputs.insert(inputs.end(), files.begin(), files.end());
  return true;
}

bool read_bytes(const fs::path& path, std::vector<std::uint8_t>& bytes) {
  std::ifstream in(path, std::ios::binary);
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<fs::path> inputs;
  for (int i = 1; i < argc; ++i) {
    if (!collect(argv[i], inputs)) return 2;
  }
  // An empty corpus would pass without testing anything.
  if (inputs.empty()) {
    std::fprintf(stderr, "usage: %s <file or folder>... (no inputs found)\n", argv[0]);
    return 2;
  }
  std::vector<std::uint8_t> bytes;
  for (const fs::path& path : inputs) {
    if (!read_bytes(path, bytes)) {
      std::fprintf(stderr, "cannot read %s\n", path.c_str());
      return 2;
    }
    // Named first, so a crash points at its input.
    std::fprintf(stderr, "running %s (%zu bytes)\n", path.c_str(), bytes.size());
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
  }
  std::fprintf(stderr, "%zu inputs passed\n", inputs.size());
  return 0;
}
