#include "testing/program_run.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <iterator>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

extern char** environ;

namespace testing_support {
namespace {

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

std::vector<char*> pointers(std::vector<std::string>& strings) {
  std::vector<char*> out;
  for (std::string& s : strings)
    out.push_back(&s[0]);
  out.push_back(nullptr);
  return out;
}

}  // namespace

Program_Result run_program(const std::vector<std::string>& argv, const std::string& input,
                           const std::map<std::string, std::string>& env) {
  Program_Result result;
  Temp_Dir dir;
  const std::string in = dir.path() + "/in", out = dir.path() + "/out", err = dir.path() + "/err";
  std::ofstream(in, std::ios::binary) << input;

  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, 0, in.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&files, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&files, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  std::vector<std::string> args = argv;
  std::vector<std::string> envs = environment_with(env);
  std::vector<char*> arg_ptrs = pointers(args), env_ptrs = pointers(envs);
  pid_t pid = 0;
  const int spawned =
      posix_spawn(&pid, arg_ptrs[0], &files, nullptr, arg_ptrs.data(), env_ptrs.data());
  posix_spawn_file_actions_destroy(&files);
  if (spawned != 0) {
    ADD_FAILURE() << "cannot start " << argv[0];
    return result;
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
  }
  if (WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
  result.out = slurp(out);
  result.err = slurp(err);
  return result;
}

Started_Program::Started_Program(const std::vector<std::string>& argv, Streams streams,
                                 const std::map<std::string, std::string>& env, int uid) {
  std::vector<std::string> args = argv;
  std::vector<std::string> envs = environment_with(env);
  std::vector<char*> arg_ptrs = pointers(args), env_ptrs = pointers(envs);
  const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
  // Between fork and exec only async-signal-safe calls.
  pid_ = ::fork();
  if (pid_ == 0) {
    const int fds[] = {streams.in, streams.out, streams.err};
    for (int i = 0; i < 3; ++i)
      ::dup2(fds[i] >= 0 ? fds[i] : null, i);
    if (uid >= 0 && (::setgroups(0, nullptr) != 0 || ::setgid(uid) != 0 || ::setuid(uid) != 0))
      ::_exit(126);
    ::execve(arg_ptrs[0], arg_ptrs.data(), env_ptrs.data());
    ::_exit(127);
  }
  ::close(null);
  if (pid_ < 0) ADD_FAILURE() << "cannot start " << argv[0];
}

Started_Program::~Started_Program() {
  if (pid_ > 0) stop();
}

int Started_Program::wait() {
  if (pid_ <= 0) return exit_code_;
  int status = 0;
  while (::waitpid(pid_, &status, 0) < 0) {
  }
  pid_ = -1;
  exit_code_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return exit_code_;
}

int Started_Program::stop() {
  if (pid_ <= 0) return exit_code_;
  ::kill(pid_, SIGTERM);
  for (int i = 0; i < 600; ++i) {
    int status = 0;
    const pid_t done = ::waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
      pid_ = -1;
      exit_code_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      return exit_code_;
    }
    ::poll(nullptr, 0, 100);
  }
  ADD_FAILURE() << "a program did not stop on SIGTERM";
  ::kill(pid_, SIGKILL);
  return wait();
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
