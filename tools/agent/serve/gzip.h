#pragma once

#include <string>
#include <string_view>

// `text` packed as a gzip stream at zlib's fastest level: a listing of many
// megabytes shrinks to a tenth in a few tens of milliseconds, where a
// stronger level or brotli would keep the browser waiting for seconds.
// False (and `packed` empty) when zlib fails.
bool gzip_fast(std::string_view text, std::string& packed);

// Whether an Accept-Encoding field's value lets gzip be used ("gzip" or
// "x-gzip" among its codings, with no q=0).
bool accepts_gzip(std::string_view accept_encoding);
