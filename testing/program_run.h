#pragma once

#include <map>
#include <string>
#include <vector>

namespace testing_support {

// What a program run gave back.
struct Program_Result {
  int exit_code = -1;  // -1 when it did not end normally
  std::string out;
  std::string err;
};

// Runs `argv` (the program first) with `input` on its standard input and the
// environment of this process changed by `env` (an empty value removes the
// variable), and waits for it.  Output is collected through temporary files,
// so a chatty program cannot block on a full pipe.
Program_Result run_program(const std::vector<std::string>& argv, const std::string& input = "",
                           const std::map<std::string, std::string>& env = {});

// A fresh empty folder under the system's temporary folder, removed with
// everything in it when this goes away.
class Temp_Dir {
 public:
  Temp_Dir();
  ~Temp_Dir();
  Temp_Dir(const Temp_Dir&) = delete;
  Temp_Dir& operator=(const Temp_Dir&) = delete;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace testing_support
