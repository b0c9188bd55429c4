#include "tools/agent/serve/serve_url_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "tools/agent/files.h"
#include "tools/agent/line_log.h"

namespace {

constexpr std::size_t MAX_URL_FILE = 4096;

}  // namespace

std::string serve_url_path(const std::string& home_dir) {
  return home_dir + "/serve-url";
}

bool write_serve_url(const std::string& home_dir, const std::string& url, std::string& error) {
  const std::string line = url + "\n";
  return write_file_atomically(serve_url_path(home_dir), line.data(), line.size(), 0600, error);
}

bool read_serve_url(const std::string& home_dir, secure_string& url, bool& missing,
                    std::string& error) {
  const std::string path = serve_url_path(home_dir);
  if (!read_file(path, url, MAX_URL_FILE, PRIVATE_FILE, error, &missing)) return false;
  if (missing) return true;
  while (!url.empty() && (url.back() == '\n' || url.back() == '\r'))
    url.pop_back();
  if (url.empty() || url.find('\n') != secure_string::npos) {
    error = path + " does not hold one address";
    return false;
  }
  return true;
}

bool remove_serve_url(const std::string& home_dir, const std::string& url, std::string& error) {
  secure_string kept;
  bool missing = false;
  if (!read_serve_url(home_dir, kept, missing, error)) return false;
  if (missing || kept.size() != url.size() || std::memcmp(kept.data(), url.data(), url.size()) != 0)
    return true;
  const std::string path = serve_url_path(home_dir);
  if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
    error = "cannot remove " + path + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

bool announce_serve_url(const std::string& home_dir, const std::string& url, std::string& error) {
  if (!write_serve_url(home_dir, url, error)) return false;
  if (is_journal_stream(1, std::getenv("JOURNAL_STREAM"))) {
    const std::string address = url.substr(0, url.find_first_of("?#"));
    std::printf(
        "qingcloud-agent serve: listening on %s; `qingcloud-agent serve-url --home %s` "
        "prints the console's address with its token\n",
        address.c_str(), home_dir.c_str());
  } else {
    std::printf("%s\n", url.c_str());
  }
  std::fflush(stdout);
  return true;
}
