#pragma once

#include <string>

#include "host/support/secure_string.h"

// The address of a running `serve`, with its access token, kept for the
// administrator in the home folder (file "serve-url", mode 0600): a
// service's log is read by others, so the token does not go there.  Each
// returns false with the reason in `error` (one line).

bool write_serve_url(const std::string& home_dir, const std::string& url, std::string& error);

// `missing` is set, instead of failing, when no serve has written the file.
bool read_serve_url(const std::string& home_dir, secure_string& url, bool& missing,
                    std::string& error);

// Removes the file when it still holds `url` (a later serve on the same home
// may have replaced it).
bool remove_serve_url(const std::string& home_dir, const std::string& url, std::string& error);

std::string serve_url_path(const std::string& home_dir);

// Writes the file, then tells where the console is on standard output: the
// address with its token, or, when standard output is the journal, the
// address alone and how to get the token.
bool announce_serve_url(const std::string& home_dir, const std::string& url, std::string& error);
