#include "host/http/http_session.h"

#include <cerrno>
#include <new>

#include "support/log.h"

HTTP_Session::HTTP_Session(Key, HTTP_Session_Settings settings) : settings_(std::move(settings)) {
  idle_.reserve(settings_.idle_connections);
}

HTTP_Session_var HTTP_Session::make(HTTP_Session_Settings settings) {
  try {
    return std::make_shared<HTTP_Session>(Key(), std::move(settings));
  } catch (const std::bad_alloc&) {
    return HTTP_Session_var();
  }
}

std::size_t HTTP_Session::idle_connections() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return idle_.size();
}

Curl_Easy HTTP_Session::take_handle() noexcept {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!idle_.empty()) {
      Curl_Easy handle = std::move(idle_.back());
      idle_.pop_back();
      return handle;
    }
  }
  return curl_easy_make();
}

void HTTP_Session::give_back(Curl_Easy handle) noexcept {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (idle_.size() < settings_.idle_connections) {
      idle_.push_back(std::move(handle));  // within the reserved capacity
      return;
    }
  }
  // Closes the connection outside the lock.
  handle.reset();
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
