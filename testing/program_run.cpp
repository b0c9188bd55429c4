#include "testing/program_run.h"

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "testing/child_process.h"

extern char** environ;

namespace testing_support {
namespace {

// How long a program run may take before the test gives up on it.
constexpr std::chrono::seconds RUN_LIMIT{120};

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> environment_with(const std::map<std::string, std::string>& changes) {
  std::vector<std::string> out;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    const std::string name = entry.substr(0, entry.find('='));
    if (changes.count(name) == 0) out.push_back(entry);
  }
  for (const auto& [name, value] : changes)
    if (!value.empty()) out.push_back(name + "=" + value);
  return out;
}

}  // namespace

Program_Result run_program(const std::vector<std::string>& argv, const std::string& input,
                           const std::map<std::string, std::string>& env) {
  Program_Result result;
  Temp_Dir dir;
  const std::string in = dir.path() + "/in", out = dir.path() + "/out", err = dir.path() + "/err";
  std::ofstream(in, std::ios::binary) << input;
  Child_Streams streams;
  streams.in = ::open(in.c_str(), O_RDONLY | O_CLOEXEC);
  streams.out = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  streams.err = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  const pid_t pid = start_child(argv, streams, environment_with(env));
  for (int fd : {streams.in, streams.out, streams.err})
    if (fd >= 0) ::close(fd);
  if (pid < 0) {
    ADD_FAILURE() << "cannot start " << argv[0];
    return result;
  }
  int status = -1;
  if (!wait_child(pid, RUN_LIMIT, status)) {
    ADD_FAILURE() << argv[0] << " did not end within " << RUN_LIMIT.count() << " s";
    status = stop_child(pid, argv[0]).status;
  }
  result.exit_code = exit_code(status);
  result.out = slurp(out);
  result.err = slurp(err);
  return result;
}

Started_Program::Started_Program(const std::vector<std::string>& argv, Streams streams,
                                 const std::map<std::string, std::string>& env, int uid)
    : name_(argv.empty() ? std::string() : argv[0]) {
  pid_ = start_child(argv, {streams.in, streams.out, streams.err}, environment_with(env), uid);
  if (pid_ < 0) ADD_FAILURE() << "cannot start " << name_;
}

Started_Program::~Started_Program() {
  if (pid_ > 0) stop();
}

int Started_Program::wait(std::chrono::seconds limit) {
  if (pid_ <= 0) return exit_code_;
  int status = -1;
  if (!wait_child(pid_, limit, status)) {
    ADD_FAILURE() << name_ << " did not end within " << limit.count() << " s";
    status = stop_child(pid_, name_).status;
  }
  pid_ = -1;
  exit_code_ = exit_code(status);
  return exit_code_;
}

int Started_Program::stop() {
  if (pid_ <= 0) return exit_code_;
  const Stopped stopped = stop_child(pid_, name_);
  pid_ = -1;
  exit_code_ = exit_code(stopped.status);
  return exit_code_;
}

std::string read_until(int fd, const std::string& text) {
  std::string got;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  while (text.empty() || got.find(text) == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd p{fd, POLLIN, 0};
    if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
    char buf[4096];
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n <= 0) break;  // the end, or EIO from a terminal whose program is gone
    got.append(buf, static_cast<std::size_t>(n));
  }
  return got;
}

Temp_Dir::Temp_Dir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "qc-test-XXXXXX").string();
  if (mkdtemp(&pattern[0]) == nullptr) ADD_FAILURE() << "cannot make a temporary folder";
  path_ = pattern;
}

Temp_Dir::~Temp_Dir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace testing_support
