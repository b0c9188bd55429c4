#include "host/http/curl_handles.h"

#include <cerrno>
#include <mutex>

#include <curl/curl.h>

void Curl_Easy_Deleter::operator()(CURL* easy) const noexcept {
  curl_easy_cleanup(easy);
}

void Curl_Slist_Deleter::operator()(curl_slist* list) const noexcept {
  curl_slist_free_all(list);
}

void Curl_Url_Deleter::operator()(CURLU* url) const noexcept {
  curl_url_cleanup(url);
}

bool curl_init_once() noexcept {
  static std::once_flag once;
  static bool ok = false;
  std::call_once(once, [] { ok = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
  return ok;
}

Curl_Easy curl_easy_make() noexcept {
  if (!curl_init_once()) return Curl_Easy();
  return Curl_Easy(curl_easy_init());
}

int curl_errno(int code, long os_errno) noexcept {
  switch (static_cast<CURLcode>(code)) {
    case CURLE_OK:
      return 0;
    case CURLE_OUT_OF_MEMORY:
      return ENOMEM;
    case CURLE_OPERATION_TIMEDOUT:
      return ETIMEDOUT;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
      return EHOSTUNREACH;
    case CURLE_COULDNT_CONNECT:
      return os_errno ? static_cast<int>(os_errno) : ECONNREFUSED;
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
      return os_errno ? static_cast<int>(os_errno) : ECONNRESET;
    case CURLE_GOT_NOTHING:
      return ECONNRESET;
    case CURLE_FILESIZE_EXCEEDED:
      return EMSGSIZE;
    case CURLE_URL_MALFORMAT:
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_BAD_FUNCTION_ARGUMENT:
      return EINVAL;
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_WEIRD_SERVER_REPLY:
      return EPROTO;
    default:
      return EIO;
  }
}
