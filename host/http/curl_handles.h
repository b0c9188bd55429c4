#pragma once

#include <memory>

// Owners of libcurl's handles, without libcurl's header.  The typedefs are
// the ones libcurl itself declares.
typedef void CURL;
struct curl_slist;
struct Curl_URL;
typedef struct Curl_URL CURLU;

struct Curl_Easy_Deleter {
  void operator()(CURL* easy) const noexcept;
};
struct Curl_Slist_Deleter {
  void operator()(curl_slist* list) const noexcept;
};
struct Curl_Url_Deleter {
  void operator()(CURLU* url) const noexcept;
};

using Curl_Easy = std::unique_ptr<CURL, Curl_Easy_Deleter>;
using Curl_Slist = std::unique_ptr<curl_slist, Curl_Slist_Deleter>;
using Curl_Url = std::unique_ptr<CURLU, Curl_Url_Deleter>;

// Initialises libcurl once for the process, with allocation functions that
// wipe every block libcurl releases; every later call returns the first
// outcome.  Thread-safe.
bool curl_init_once() noexcept;

// A new easy handle, or null (libcurl could not be initialised or memory ran out).
Curl_Easy curl_easy_make() noexcept;

// The errno value that best names a failed transfer: `code` is libcurl's
// result, `os_errno` the system error it saw (0 when none).
int curl_errno(int code, long os_errno) noexcept;
