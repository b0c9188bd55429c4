#include "tools/agent/files.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool failed(const std::string& what, const std::string& path, int e, std::string& error) {
  error = "cannot " + what + " " + path + ": " + std::strerror(e);
  return false;
}

}  // namespace

bool make_private_dir(const std::string& dir, std::string& error) {
  if (dir.empty()) {
    error = "no folder given";
    return false;
  }
  for (std::size_t slash = dir.find('/', 1);; slash = dir.find('/', slash + 1)) {
    const std::string part = dir.substr(0, slash);
    if (!part.empty() && ::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
      return failed("create", part, errno, error);
    if (slash == std::string::npos) break;
  }
  struct stat st;
  if (::stat(dir.c_str(), &st) != 0) return failed("use", dir, errno, error);
  if (!S_ISDIR(st.st_mode)) return failed("use", dir, ENOTDIR, error);
  return true;
}

bool read_file(const std::string& path, secure_string& text, std::size_t limit, std::string& error,
               bool* missing) {
  if (missing) *missing = false;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT && missing) {
      *missing = true;
      return true;
    }
    return failed("read", path, errno, error);
  }
  text.clear();
  char buf[4096];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int e = errno;
      ::close(fd);
      return failed("read", path, e, error);
    }
    if (n == 0) break;
    if (text.size() + static_cast<std::size_t>(n) > limit) {
      ::close(fd);
      return failed("read", path, EFBIG, error);
    }
    text.append(buf, static_cast<std::size_t>(n));
  }
  ::close(fd);
  std::memset(buf, 0, sizeof buf);
  return true;
}

bool write_file_atomically(const std::string& path, const char* text, std::size_t length,
                           mode_t mode, std::string& error) {
  std::string temp = path + ".XXXXXX";
  const int fd = ::mkstemp(&temp[0]);
  if (fd < 0) return failed("create", temp, errno, error);
  int e = 0;
  if (::fchmod(fd, mode) != 0) e = errno;
  for (std::size_t done = 0; e == 0 && done < length;) {
    const ssize_t n = ::write(fd, text + done, length - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      e = errno;
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  if (e == 0 && ::fsync(fd) != 0) e = errno;
  if (::close(fd) != 0 && e == 0) e = errno;
  if (e == 0 && ::rename(temp.c_str(), path.c_str()) != 0) e = errno;
  if (e != 0) {
    ::unlink(temp.c_str());
    return failed("write", path, e, error);
  }
  return true;
}
