#pragma once

#include <chrono>
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
// variable), and waits for it, for two minutes at most (then it is killed
// and the test fails).  Output is collected through temporary files, so a
// chatty program cannot block on a full pipe.
Program_Result run_program(const std::vector<std::string>& argv, const std::string& input = "",
                           const std::map<std::string, std::string>& env = {});

// A program started in the background with its standard streams where the
// test wants them (-1: /dev/null), optionally as another user (the test must
// be root for that), in a process group of its own.  Stopped as
// stop_child stops it when this goes away.
class Started_Program {
 public:
  struct Streams {
    int in = -1;
    int out = -1;
    int err = -1;
  };
  Started_Program(const std::vector<std::string>& argv, Streams streams,
                  const std::map<std::string, std::string>& env = {}, int uid = -1);
  ~Started_Program();
  Started_Program(const Started_Program&) = delete;
  Started_Program& operator=(const Started_Program&) = delete;

  int pid() const { return pid_; }
  // Waits up to `limit` for it to end: its exit code, -1 when it did not
  // end normally.  One that does not end in time fails the test and is
  // stopped.
  int wait(std::chrono::seconds limit = std::chrono::seconds(60));
  // SIGTERM, then SIGKILL when it does not end within STOP_GRACE.
  int stop();

 private:
  std::string name_;
  int pid_ = -1;
  int exit_code_ = -1;
};

// What `fd` gives until `text` has come (empty: until the stream ends) or a
// minute has passed without it.
std::string read_until(int fd, const std::string& text = std::string());

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
