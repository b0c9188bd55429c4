#include "tools/agent/files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

const File_Rules PRIVATE_FILE{false, true, 077};
const File_Rules PROTECTED_FILE{true, false, 007};
const File_Rules PUBLIC_FILE{true, false, 0};

namespace {

bool failed(const std::string& what, const std::string& path, int e, std::string& error) {
  error = "cannot " + what + " " + path + ": " + std::strerror(e);
  return false;
}

std::string octal(mode_t mode) {
  char text[8];
  std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
  return text;
}

bool owned_by_us(const std::string& what, const struct stat& st, std::string& error) {
  if (st.st_uid == ::geteuid()) return true;
  error = what + " belongs to uid " + std::to_string(st.st_uid) + ", not to this user (uid " +
          std::to_string(::geteuid()) + ")";
  return false;
}

// Refused the way ssh refuses a key that others can read: with the mode and
// the command that mends it.
bool keeps_to(const std::string& name, const std::string& path, const struct stat& st,
              const File_Rules& rules, std::string& error) {
  if (!S_ISREG(st.st_mode)) {
    error = name + " is not a regular file";
    return false;
  }
  if (rules.owned && !owned_by_us(name, st, error)) return false;
  if ((st.st_mode & rules.forbidden) == 0) return true;
  const bool group = (rules.forbidden & 070) != 0;
  error = name + " is open to " + (group ? "group or others" : "others") + " (mode " +
          octal(st.st_mode) + "); run chmod " + (group ? "go-rwx " : "o-rwx ") + path;
  return false;
}

// Syncs the folder that holds `path`, so that a rename in it is kept.
int sync_folder_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "."
                          : slash == 0               ? "/"
                                                     : path.substr(0, slash);
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  const int e = ::fsync(fd) == 0 ? 0 : errno;
  ::close(fd);
  return e;
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
  // A link to the folder is followed: what it leads to is checked.
  struct stat st;
  if (::stat(dir.c_str(), &st) != 0) return failed("use", dir, errno, error);
  if (!S_ISDIR(st.st_mode)) return failed("use", dir, ENOTDIR, error);
  if (!owned_by_us("the folder " + dir, st, error)) return false;
  if ((st.st_mode & 022) != 0) {
    error = "the folder " + dir + " may be written by group or others (mode " + octal(st.st_mode) +
            "); run chmod go-w " + dir;
    return false;
  }
  return true;
}

bool read_file(const std::string& path, secure_string& text, std::size_t limit,
               const File_Rules& rules, std::string& error, bool* missing,
               const std::string& kind) {
  if (missing) *missing = false;
  const std::string name = kind.empty() ? path : kind + " " + path;
  // Not blocking: opening a FIFO would wait for a writer.
  const int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | (rules.follow_links ? 0 : O_NOFOLLOW);
  const int fd = ::open(path.c_str(), flags);
  if (fd < 0) {
    if (errno == ENOENT && missing) {
      *missing = true;
      return true;
    }
    if (errno == ELOOP && !rules.follow_links) {
      error = name + " is a symbolic link; the host reads only its own files";
      return false;
    }
    return failed("read", name, errno, error);
  }
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    const int e = errno;
    ::close(fd);
    return failed("read", name, e, error);
  }
  if (!keeps_to(name, path, st, rules, error)) {
    ::close(fd);
    return false;
  }
  text.clear();
  char buf[4096];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int e = errno;
      ::close(fd);
      return failed("read", name, e, error);
    }
    if (n == 0) break;
    if (text.size() + static_cast<std::size_t>(n) > limit) {
      ::close(fd);
      return failed("read", name, EFBIG, error);
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
  if ((e = sync_folder_of(path)) != 0) return failed("sync the folder of", path, e, error);
  return true;
}

File_Lock::~File_Lock() {
  if (fd_ >= 0) ::close(fd_);  // which lets the lock go
}

bool File_Lock::lock(const std::string& path, std::string& error) {
  bool held = false;
  return take(path, LOCK_EX, held, error);
}

bool File_Lock::try_lock(const std::string& path, bool& held, std::string& error) {
  return take(path, LOCK_EX | LOCK_NB, held, error);
}

bool File_Lock::take(const std::string& path, int how, bool& held, std::string& error) {
  held = false;
  fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd_ < 0) return failed("open the lock file", path, errno, error);
  path_ = path;
  while (::flock(fd_, how) != 0) {
    if (errno == EINTR) continue;
    const int e = errno;
    ::close(fd_);
    fd_ = -1;
    held = e == EWOULDBLOCK;
    return failed("lock", path, e, error);
  }
  return true;
}

bool File_Lock::note(const std::string& text, std::string& error) {
  if (fd_ < 0 || ::ftruncate(fd_, 0) != 0 ||
      ::pwrite(fd_, text.data(), text.size(), 0) != static_cast<ssize_t>(text.size()))
    return failed("write", path_, fd_ < 0 ? EBADF : errno, error);
  return true;
}
