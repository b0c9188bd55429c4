#include "tools/agent/serve/gzip.h"

#include <zlib.h>

#include <boost/beast/core/string.hpp>
#include <boost/beast/http/rfc7230.hpp>

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
  namespace beast = boost::beast;
  const beast::string_view field(accept_encoding.data(), accept_encoding.size());
  for (const auto& coding : beast::http::ext_list(field)) {
    if (!beast::iequals(coding.first, "gzip") && !beast::iequals(coding.first, "x-gzip")) continue;
    // q=0 (or 0.0, 0.000) refuses the coding.
    bool refused = false;
    for (const auto& parameter : coding.second)
      if (beast::iequals(parameter.first, "q"))
        refused = parameter.second.find_first_not_of("0.") == beast::string_view::npos;
    if (!refused) return true;
  }
  return false;
}
