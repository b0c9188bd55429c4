#include "tools/agent/serve/gzip.h"

#include <cctype>
#include <zlib.h>

namespace {

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
    text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
    text.remove_suffix(1);
  return text;
}

bool same_letters(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != b[i]) return false;
  return true;
}

// Whether a coding's parameters (after its ';') hold q=0, q=0.0 ...
bool refused(std::string_view parameters) {
  while (!parameters.empty()) {
    const std::size_t semicolon = parameters.find(';');
    std::string_view one = trimmed(parameters.substr(0, semicolon));
    if (one.size() >= 2 && (one[0] == 'q' || one[0] == 'Q') && one[1] == '=') {
      one.remove_prefix(2);
      return one.find_first_not_of("0.") == std::string_view::npos;
    }
    if (semicolon == std::string_view::npos) break;
    parameters.remove_prefix(semicolon + 1);
  }
  return false;
}

}  // namespace

bool gzip_fast(std::string_view text, std::string& packed) {
  packed.clear();
  z_stream z{};
  // 15 window bits, plus 16 for the gzip wrapper instead of zlib's.
  if (deflateInit2(&z, Z_BEST_SPEED, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK)
    return false;
  packed.resize(deflateBound(&z, static_cast<uLong>(text.size())));
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  z.avail_in = static_cast<uInt>(text.size());
  z.next_out = reinterpret_cast<Bytef*>(&packed[0]);
  z.avail_out = static_cast<uInt>(packed.size());
  const bool done = deflate(&z, Z_FINISH) == Z_STREAM_END;
  packed.resize(done ? z.total_out : 0);
  deflateEnd(&z);
  return done;
}

bool accepts_gzip(std::string_view accept_encoding) {
  while (!accept_encoding.empty()) {
    const std::size_t comma = accept_encoding.find(',');
    const std::string_view coding = accept_encoding.substr(0, comma);
    const std::size_t semicolon = coding.find(';');
    const std::string_view name = trimmed(coding.substr(0, semicolon));
    if ((same_letters(name, "gzip") || same_letters(name, "x-gzip")) &&
        (semicolon == std::string_view::npos || !refused(coding.substr(semicolon + 1))))
      return true;
    if (comma == std::string_view::npos) break;
    accept_encoding.remove_prefix(comma + 1);
  }
  return false;
}
