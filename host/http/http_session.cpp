#include "host/http/http_session.h"

#include <cerrno>
#include <new>

#include "host/http/http_connection_pool.h"
#include "host/http/http_session_factory.h"
#include "host/support/log.h"

HTTP_Session::HTTP_Session(Key, HTTP_Session_Settings settings)
    : settings_(std::move(settings)), pool_key_(http_pool_key(settings_)) {}

HTTP_Session_var HTTP_Session::make(HTTP_Session_Settings settings) {
  try {
    return std::make_shared<HTTP_Session>(Key(), std::move(settings));
  } catch (const std::bad_alloc&) {
    return HTTP_Session_var();
  }
}

std::size_t HTTP_Session::idle_connections() const {
  return HTTP_Connection_Pool::process().idle(pool_key_);
}

Curl_Easy HTTP_Session::take_handle() noexcept {
  if (!(settings_.flags & HTTP_Session_Factory::FRESH_CONNECTIONS)) {
    if (Curl_Easy handle = HTTP_Connection_Pool::process().take(pool_key_)) return handle;
  }
  return curl_easy_make();
}

void HTTP_Session::give_back(Curl_Easy handle) noexcept {
  // A fresh-connection session's handles are closed, with their connection.
  if (settings_.flags & HTTP_Session_Factory::FRESH_CONNECTIONS) return;
  HTTP_Connection_Pool::process().give_back(pool_key_, std::move(handle),
                                            settings_.idle_connections);
}

HTTP_Connection_var HTTP_Session::send(const HTTP_Request& request, CGI_Response* response) {
  HTTP_Connection_var conn;
  Curl_Easy easy = take_handle();
  if (easy) {
    try {
      conn = std::make_shared<HTTP_Connection>(HTTP_Connection::Key(), shared_from_this(),
                                               std::move(easy));
    } catch (const std::bad_alloc&) {
    }
  }
  if (!conn) {
    errno = ENOMEM;
    QC_LOG_ERROR("Failed to open a connection to '%s', errno=%d, %m.\n",
                 HTTP_Session_URL(shared_from_this(), request).c_str(), ENOMEM);
    return conn;
  }
  if (!conn->prepare(request)) return HTTP_Connection_var();
  if (response && conn->read_head(*response) != 0) return HTTP_Connection_var();
  return conn;
}

HTTP_Session_URL::HTTP_Session_URL(const HTTP_Session_var& session, const HTTP_Request& request) {
  if (session) text_ = http_printable_url(session->settings(), request.path());
}
