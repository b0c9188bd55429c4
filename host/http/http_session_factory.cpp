#include "host/http/http_session_factory.h"

#include <cerrno>
#include <new>

#include <curl/curl.h>

#include "host/http/curl_options.h"
#include "host/support/log.h"

namespace {

// Connects (and for TLS shakes hands) once, then drops the connection.
bool connect_once(const HTTP_Session_Settings& settings) {
  const std::string url = http_printable_url(settings, "/");
  Curl_Easy easy = curl_easy_make();
  Curl_Url target = curl_make_url(settings, "/", std::string());
  char error_buffer[CURL_ERROR_SIZE] = "";
  int rc = easy && target ? CURLE_OK : CURLE_OUT_OF_MEMORY;
  if (rc == CURLE_OK) rc = curl_apply_session_options(easy.get(), settings, error_buffer);
  if (rc == CURLE_OK) rc = curl_easy_setopt(easy.get(), CURLOPT_CURLU, target.get());
  if (rc == CURLE_OK) rc = curl_easy_setopt(easy.get(), CURLOPT_CONNECT_ONLY, 1L);
  if (rc == CURLE_OK) rc = curl_easy_perform(easy.get());
  if (rc == CURLE_OK) return true;
  long os_errno = 0;
  if (easy) curl_easy_getinfo(easy.get(), CURLINFO_OS_ERRNO, &os_errno);
  const int error = curl_errno(rc, os_errno);
  errno = error;
  QC_LOG_ERROR("Failed to connect to '%s': %s, errno=%d, %m.\n", url.c_str(),
               *error_buffer ? error_buffer : curl_easy_strerror(CURLcode(rc)), error);
  return false;
}

HTTP_Session_var out_of_memory(const std::string& host, unsigned short port) {
  errno = ENOMEM;
  QC_LOG_ERROR("Failed to create HTTP session for '%s' port %u, errno=%d, %m.\n", host.c_str(),
               static_cast<unsigned>(port), ENOMEM);
  return HTTP_Session_var();
}

}  // namespace

HTTP_Session_var HTTP_Session_Factory::create(const std::string& host, unsigned short port,
                                              bool ssl, const char* user_agent,
                                              unsigned idle_connections,
                                              const HTTP_TLS_Context* tls, bool connect_now,
                                              int send_timeout, int recv_timeout, int conn_timeout,
                                              unsigned flags) {
  HTTP_Session_Settings s;
  try {
    s.host = host;
    s.user_agent = user_agent ? user_agent : "";
    s.ca_file = tls ? tls->ca_file() : HTTP_TLS_Context::default_ca_file();
    s.proxy = http_proxy_for(host, ssl);
  } catch (const std::bad_alloc&) {
    return out_of_memory(host, port);
  }
  s.port = port;
  s.ssl = ssl;
  s.idle_connections = idle_connections;
  s.send_timeout = send_timeout;
  s.recv_timeout = recv_timeout;
  s.conn_timeout = conn_timeout;
  s.exchange_deadline = EXCHANGE_DEADLINE;
  s.flags = flags;
  return create(std::move(s), connect_now);
}

HTTP_Session_var HTTP_Session_Factory::create(HTTP_Session_Settings s, bool connect_now) {
  const std::string host = s.host;
  const unsigned short port = s.port;
  try {
    const char* unusable = nullptr;
    if (host.empty()) {
      unusable = "no host";
    } else if (port == 0) {
      unusable = "port 0";
    } else if (s.send_timeout <= 0 || s.recv_timeout <= 0 || s.conn_timeout <= 0 ||
               s.exchange_deadline <= 0) {
      unusable = "time-outs must be positive";
    } else if (s.flags & ~unsigned{FRESH_CONNECTIONS}) {
      unusable = "unknown flags";
    } else if (!curl_init_once()) {
      unusable = "libcurl cannot be initialised";
    } else if (!curl_valid_host(host)) {
      unusable = "not a valid host name or address";
    }
    if (unusable) {
      QC_LOG_ERROR("Failed to create HTTP session for '%s' port %u: %s.\n", host.c_str(),
                   static_cast<unsigned>(port), unusable);
      return HTTP_Session_var();
    }
    if (connect_now && !connect_once(s)) return HTTP_Session_var();

    HTTP_Session_var session = HTTP_Session::make(std::move(s));
    if (session) return session;
  } catch (const std::bad_alloc&) {
  }
  return out_of_memory(host, port);
}
