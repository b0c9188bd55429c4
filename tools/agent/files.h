#pragma once

#include <string>
#include <sys/types.h>

#include "host/support/secure_string.h"

// Small file helpers for the agent's home folder and the files it is given.
// Each returns false with the reason in `error` (one line, naming the path).

// Whom a file must belong to, and who else may use it.
struct File_Rules {
  bool follow_links;  // false: a symbolic link is refused (O_NOFOLLOW)
  bool owned;         // it must belong to this user
  mode_t forbidden;   // permission bits it must not have
};

// The host's own files (its key, its store): this user's alone, never a link.
extern const File_Rules PRIVATE_FILE;
// A private key the operator names (TLS): no access for others.
extern const File_Rules PROTECTED_FILE;
// Anything readable (a certificate).
extern const File_Rules PUBLIC_FILE;

// Creates `dir` and any missing parents with mode 0700; an existing folder
// is kept as it is.  Either way it must belong to this user, and neither
// group nor others may write to it (they could swap the files in it).
bool make_private_dir(const std::string& dir, std::string& error);

// Reads the whole of `path` (at most `limit` bytes), which must be a regular
// file (a FIFO is refused, not waited on) that keeps to `rules`.  `missing`
// (when given) is set instead of failing when the file does not exist.
// Messages name the file as `kind` and its path ("secret file F"), or by its
// path alone.
bool read_file(const std::string& path, secure_string& text, std::size_t limit,
               const File_Rules& rules, std::string& error, bool* missing = nullptr,
               const std::string& kind = std::string());

// Writes `text` to `path` through a temporary file in the same folder that
// is synced and renamed over it, so that readers see the old or the new
// content and never a part of either; then syncs the folder, so that the
// rename itself survives a crash.  The file gets `mode`.
bool write_file_atomically(const std::string& path, const char* text, std::size_t length,
                           mode_t mode, std::string& error);

// An exclusive lock (flock) on a lock file, held while this lives.  Locks of
// other processes and of other File_Locks in this one exclude each other.
class File_Lock {
 public:
  File_Lock() = default;
  ~File_Lock();
  File_Lock(const File_Lock&) = delete;
  File_Lock& operator=(const File_Lock&) = delete;

  // Creates `path` (mode 0600) when missing and waits for the lock.
  bool lock(const std::string& path, std::string& error);
  // The same without waiting: false with `held` set when another has it.
  bool try_lock(const std::string& path, bool& held, std::string& error);
  // Replaces what the lock file says (who holds it), once locked.
  bool note(const std::string& text, std::string& error);

 private:
  bool take(const std::string& path, int how, bool& held, std::string& error);

  int fd_ = -1;
  std::string path_;
};
