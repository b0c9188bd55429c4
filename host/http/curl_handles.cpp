#include "host/http/curl_handles.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <malloc.h>
#include <mutex>

#include <curl/curl.h>

#include "host/support/secure_memset.h"

void Curl_Easy_Deleter::operator()(CURL* easy) const noexcept {
  curl_easy_cleanup(easy);
}

void Curl_Slist_Deleter::operator()(curl_slist* list) const noexcept {
  curl_slist_free_all(list);
}

void Curl_Url_Deleter::operator()(CURLU* url) const noexcept {
  curl_url_cleanup(url);
}

namespace {

// libcurl's own buffers hold what went over the wire: requests that name the
// key id, replies that may carry secret keys.  Every block it lets go of is
// wiped first, like the library's own buffers.
void wiping_free(void* block) {
  if (block == nullptr) return;
  secure_memset(block, 0, malloc_usable_size(block));
  std::free(block);
}

void* wiping_malloc(std::size_t size) {
  return std::malloc(size);
}

void* wiping_calloc(std::size_t count, std::size_t size) {
  return std::calloc(count, size);
}

// Moving a block would leave its old copy behind, so a block that must grow
// is copied here and the old one wiped.
void* wiping_realloc(void* block, std::size_t size) {
  if (block == nullptr) return std::malloc(size);
  const std::size_t usable = malloc_usable_size(block);
  if (size <= usable) return block;
  void* grown = std::malloc(size);
  if (grown == nullptr) return nullptr;
  std::memcpy(grown, block, usable);
  wiping_free(block);
  return grown;
}

char* wiping_strdup(const char* text) {
  const std::size_t size = std::strlen(text) + 1;
  auto* copy = static_cast<char*>(std::malloc(size));
  if (copy != nullptr) std::memcpy(copy, text, size);
  return copy;
}

}  // namespace

bool curl_init_once() noexcept {
  static std::once_flag once;
  static bool ok = false;
  std::call_once(once, [] {
    ok = curl_global_init_mem(CURL_GLOBAL_DEFAULT, wiping_malloc, wiping_free, wiping_realloc,
                              wiping_strdup, wiping_calloc) == CURLE_OK;
  });
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
