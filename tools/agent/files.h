#pragma once

#include <string>
#include <sys/types.h>

#include "support/secure_string.h"

// Small file helpers for the agent's home folder.  Each returns false with
// the reason in `error` (one line, naming the path).

// Creates `dir` and any missing parents with mode 0700; an existing folder
// is kept as it is.
bool make_private_dir(const std::string& dir, std::string& error);

// Reads the whole of `path` (at most `limit` bytes).  `missing` (when given)
// is set instead of failing when the file does not exist.
bool read_file(const std::string& path, secure_string& text, std::size_t limit, std::string& error,
               bool* missing = nullptr);

// Writes `text` to `path` through a temporary file in the same folder that
// is synced and renamed over it, so that readers see the old or the new
// content and never a part of either.  The file gets `mode`.
bool write_file_atomically(const std::string& path, const char* text, std::size_t length,
                           mode_t mode, std::string& error);
