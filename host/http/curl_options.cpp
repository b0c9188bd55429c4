#include "host/http/curl_options.h"

#include <algorithm>
#include <cstdio>
#include <new>

#include <curl/curl.h>
#include <openssl/ssl.h>

#include "host/http/curl_share.h"
#include "host/http/http_connection_pool.h"
#include "host/http/http_session_factory.h"
#include "host/support/secure_string.h"

namespace {

// Applies options in order and remembers the first failure.
class Option_Setter {
 public:
  explicit Option_Setter(CURL* easy) : easy_(easy) {}

  template <class T>
  Option_Setter& operator()(CURLoption option, T value) {
    if (result_ == CURLE_OK) result_ = curl_easy_setopt(easy_, option, value);
    return *this;
  }

  int result() const { return result_; }

 private:
  CURL* easy_;
  CURLcode result_ = CURLE_OK;
};

// Printable ASCII without spaces: what an encoded path or query consists of.
bool plain_url_text(std::string_view text) {
  for (unsigned char c : text) {
    if (c <= ' ' || c >= 0x7F) return false;
  }
  return true;
}

CURLcode cleanse_plaintext(CURL*, void* ssl_ctx, void*) {
  SSL_CTX_set_options(static_cast<SSL_CTX*>(ssl_ctx), SSL_OP_CLEANSE_PLAINTEXT);
  return CURLE_OK;
}

std::string bracketed_host(const std::string& host) {
  return host.find(':') == std::string::npos ? host : "[" + host + "]";
}

}  // namespace

std::string http_endpoint_url(const HTTP_Session_Settings& settings, const std::string& path) {
  return (settings.ssl ? "https://" : "http://") + bracketed_host(settings.host) + ":" +
         std::to_string(settings.port) + path;
}

std::string http_printable_url(const HTTP_Session_Settings& settings, const std::string& path) {
  std::string url = http_endpoint_url(settings, path);
  if (!settings.proxy.empty()) url += " through proxy " + settings.proxy.printable();
  return url;
}

std::string http_pool_key(const HTTP_Session_Settings& s) {
  // Fields apart by a byte that none of them holds.
  const char sep = '\n';
  return std::string(s.ssl ? "https" : "http") + sep + s.host + sep + std::to_string(s.port) + sep +
         s.ca_file + sep + s.proxy.url + sep + s.proxy.user;
}

int curl_apply_session_options(CURL* easy, const HTTP_Session_Settings& s,
                               char* error_buffer) noexcept {
  // Stalls are ended by the connection's progress check at their time-out.
  // libcurl's low-speed guard (less than a byte per second, averaged over a
  // few seconds) is only the backstop; it also wakes a stalled transfer every
  // second, so that the check runs.
  const long stall = std::max(s.send_timeout, s.recv_timeout);
  Option_Setter set(easy);
  set(CURLOPT_ERRORBUFFER, error_buffer)(CURLOPT_NOSIGNAL, 1L)(CURLOPT_NOPROGRESS, 1L)
      // Only http and https, and no redirects.
      (CURLOPT_PROTOCOLS_STR, "http,https")(CURLOPT_REDIR_PROTOCOLS_STR, "http,https")(
          CURLOPT_FOLLOWLOCATION, 0L)(CURLOPT_HTTP_VERSION,
                                      static_cast<long>(CURL_HTTP_VERSION_1_1))
      // The proxy was chosen with the session (the environment included):
      // libcurl is told that choice and looks no further.
      (CURLOPT_PROXY, s.proxy.url.c_str())(CURLOPT_NOPROXY, "")
      // Each handle keeps at most its one connection, which the pool keeps
      // no longer than it may be idle; TLS sessions are resumed across them.
      (CURLOPT_MAXCONNECTS, 1L)(CURLOPT_MAXAGE_CONN,
                                static_cast<long>(HTTP_Connection_Pool::IDLE_TIME.count()))(
          CURLOPT_SHARE, curl_tls_session_share())(CURLOPT_CONNECTTIMEOUT,
                                                   static_cast<long>(s.conn_timeout))(
          CURLOPT_TIMEOUT, static_cast<long>(s.exchange_deadline))(CURLOPT_LOW_SPEED_LIMIT, 1L)(
          CURLOPT_LOW_SPEED_TIME, stall)(
          CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(HTTP_Session_Factory::MAX_BODY_SIZE))(
          CURLOPT_SSL_VERIFYPEER, 1L)(CURLOPT_SSL_VERIFYHOST, 2L)(
          CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2));
  // OpenSSL keeps decrypted replies in its record buffer until the next
  // record overwrites them; this has it wipe them once they are handed over.
  if (s.ssl) set(CURLOPT_SSL_CTX_FUNCTION, &cleanse_plaintext);
  if (!s.ca_file.empty()) set(CURLOPT_CAINFO, s.ca_file.c_str());
  if (!s.user_agent.empty()) set(CURLOPT_USERAGENT, s.user_agent.c_str());
  if (!s.proxy.user.empty() || !s.proxy.password.empty())
    set(CURLOPT_PROXYUSERNAME, s.proxy.user.c_str())(CURLOPT_PROXYPASSWORD,
                                                     s.proxy.password.c_str());
  if (s.flags & HTTP_Session_Factory::FRESH_CONNECTIONS)
    set(CURLOPT_FRESH_CONNECT, 1L)(CURLOPT_FORBID_REUSE, 1L);
  return set.result();
}

bool curl_valid_host(const std::string& host) noexcept {
  if (host.empty() || !curl_init_once()) return false;
  Curl_Url url(curl_url());
  if (!url) return false;
  try {
    return curl_url_set(url.get(), CURLUPART_HOST, bracketed_host(host).c_str(), 0) == CURLUE_OK;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

Curl_Url curl_make_url(const HTTP_Session_Settings& s, const std::string& path,
                       std::string_view query) noexcept {
  // The URL is handed to libcurl whole: setting the query as a part of its
  // own would have libcurl rewrite "%2F" as "%2f" and break the signature.
  if (path.empty() || path[0] != '/' || path.find_first_of("?#") != std::string::npos ||
      !plain_url_text(path) || !plain_url_text(query) || query.find('#') != std::string_view::npos)
    return Curl_Url();
  if (!curl_init_once()) return Curl_Url();
  Curl_Url url(curl_url());
  if (!url) return url;
  try {
    // The whole URL carries the signed query: wiped storage, like the query.
    const std::string printable = http_endpoint_url(s, path);
    secure_string text(printable.data(), printable.size());
    if (!query.empty()) text.append(1, '?').append(query.data(), query.size());
    if (curl_url_set(url.get(), CURLUPART_URL, text.c_str(), 0) != CURLUE_OK) url.reset();
  } catch (const std::bad_alloc&) {
    url.reset();
  }
  return url;
}
