#include "host/http/curl_share.h"

#include <mutex>

#include <curl/curl.h>

#include "host/http/curl_handles.h"

namespace {

// One lock per kind of shared data, as libcurl asks.
std::mutex locks[CURL_LOCK_DATA_LAST];

void lock(CURL*, curl_lock_data data, curl_lock_access, void*) {
  locks[data].lock();
}

void unlock(CURL*, curl_lock_data data, void*) {
  locks[data].unlock();
}

CURLSH* make_share() {
  if (!curl_init_once()) return nullptr;
  CURLSH* share = curl_share_init();
  if (share == nullptr) return nullptr;
  if (curl_share_setopt(share, CURLSHOPT_LOCKFUNC, &lock) != CURLSHE_OK ||
      curl_share_setopt(share, CURLSHOPT_UNLOCKFUNC, &unlock) != CURLSHE_OK ||
      curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION) != CURLSHE_OK) {
    curl_share_cleanup(share);
    return nullptr;
  }
  return share;
}

}  // namespace

CURLSH* curl_tls_session_share() noexcept {
  // Kept until the process ends: handles of any thread may use it until then.
  static CURLSH* const share = make_share();
  return share;
}
