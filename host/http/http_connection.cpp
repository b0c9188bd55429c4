#include "host/http/http_connection.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include <curl/curl.h>

#include "host/http/curl_options.h"
#include "host/http/http_exchange_observer.h"
#include "host/http/http_method.h"
#include "host/http/http_session.h"
#include "host/http/http_session_factory.h"
#include "host/support/log.h"
#include "host/support/secure_memset.h"

namespace {

// A header field that could split the request head.
bool unsafe_field_text(const std::string& text) {
  return text.find_first_of("\r\n", 0, 3) != std::string::npos;
}

// The response's HTTP minor version as libcurl saw it.
int minor_version_of(long curl_version) {
  return curl_version == CURL_HTTP_VERSION_1_0 ? 0 : 1;
}

}  // namespace

HTTP_Connection::HTTP_Connection(Key, std::shared_ptr<HTTP_Session> session, Curl_Easy easy)
    : session_(std::move(session)), easy_(std::move(easy)) {
  error_buffer_[0] = '\0';
}

HTTP_Connection::~HTTP_Connection() {
  // The request names the key id, and replies may carry keys (a listing of a
  // user's access keys): neither outlives the exchange in freed memory.
  for (std::string* text : {&request_body_, &response_body_}) {
    secure_memset(&(*text)[0], 0, text->capacity());
  }
  session_->give_back(std::move(easy_));
}

int HTTP_Connection::fail(int error) {
  last_error_ = error;
  errno = error;
  return -1;
}

bool HTTP_Connection::prepare(const HTTP_Request& request) {
  url_ = http_printable_url(session_->settings(), request.path());
  query_ = request.query_string();
  method_ = request.method();
  fresh_connection_ = request.fresh_connection();
  if (method_ != HTTP_METHOD_GET && method_ != HTTP_METHOD_POST) {
    fail(EINVAL);
    QC_LOG_ERROR("Unsupported HTTP method %d for '%s'.\n", method_, url_.c_str());
    return false;
  }
  if (const std::string* length = request.headers().find("Content-Length")) {
    char* end = nullptr;
    errno = 0;
    unsigned long long n = std::strtoull(length->c_str(), &end, 10);
    if (length->empty() || *end || errno || length->find('-') != std::string::npos) {
      fail(EINVAL);
      QC_LOG_ERROR("Invalid Content-Length '%s' for '%s'.\n", length->c_str(), url_.c_str());
      return false;
    }
    length_declared_ = true;
    declared_length_ = static_cast<std::size_t>(n);
  }
  target_ = curl_make_url(session_->settings(), request.path(), request.query_string());
  if (!target_) {
    fail(EINVAL);
    QC_LOG_ERROR("Invalid path or query string for '%s'.\n", url_.c_str());
    return false;
  }
  if (!build_header_list(request)) return false;
  state_ = State::HEAD_TAKEN;
  return true;
}

bool HTTP_Connection::build_header_list(const HTTP_Request& request) {
  curl_slist* list = nullptr;
  auto append = [&list](const std::string& line) {
    curl_slist* grown = curl_slist_append(list, line.c_str());
    if (grown) list = grown;
    return grown != nullptr;
  };
  bool ok = true;
  for (const HTTP_Headers::Field& f : request.headers().fields()) {
    if (f.first.empty() || unsafe_field_text(f.first) || unsafe_field_text(f.second) ||
        f.first.find(':') != std::string::npos) {
      curl_slist_free_all(list);
      fail(EINVAL);
      QC_LOG_ERROR("Invalid header field '%s' for '%s'.\n", f.first.c_str(), url_.c_str());
      return false;
    }
    // libcurl frames the body and counts its length itself.
    if (http_iequals(f.first, "Content-Length")) continue;
    // "Name;" is how libcurl is told to send a field with an empty value.
    ok = ok && append(f.second.empty() ? f.first + ";" : f.first + ": " + f.second);
  }
  // No "Expect: 100-continue" round trip before a body.
  ok = ok && append("Expect:");
  if (!request.keep_alive()) ok = ok && append("Connection: close");
  header_list_.reset(list);
  if (!ok) {
    fail(ENOMEM);
    QC_LOG_ERROR("Failed to build the request head for '%s', errno=%d, %m.\n", url_.c_str(),
                 ENOMEM);
  }
  return ok;
}

ssize_t HTTP_Connection::write(const void* data, std::size_t length) {
  if (state_ != State::HEAD_TAKEN) {
    fail(EINVAL);
    QC_LOG_ERROR("Request body written after the exchange with '%s'.\n", url_.c_str());
    return -1;
  }
  std::size_t take = length;
  if (length_declared_) {
    const std::size_t room = declared_length_ - std::min(declared_length_, request_body_.size());
    if (take > room) {
      take = room;
      last_error_ = EMSGSIZE;
    }
  }
  try {
    request_body_.append(static_cast<const char*>(data), take);
  } catch (const std::bad_alloc&) {
    fail(ENOMEM);
    QC_LOG_ERROR("Failed to buffer the request body for '%s', errno=%d, %m.\n", url_.c_str(),
                 ENOMEM);
    return -1;
  }
  return static_cast<ssize_t>(take);
}

std::size_t HTTP_Connection::on_body(char* data, std::size_t size, std::size_t count, void* self) {
  auto* conn = static_cast<HTTP_Connection*>(self);
  const std::size_t n = size * count;
  if (n > HTTP_Session_Factory::MAX_BODY_SIZE - conn->response_body_.size()) {
    conn->body_too_large_ = true;
    return 0;
  }
  try {
    if (conn->response_body_.empty()) conn->reserve_declared_body();
    conn->response_body_.append(data, n);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  return n;
}

// A reply that declares its length is given its room at once: growing a
// body of many pieces would copy it again and again and leave the copies,
// which may carry keys, unwiped in freed memory.  The room is wiped when the
// exchange ends, so a declared length is believed only up to a size that a
// reply of the platform has; a larger body grows as it comes.
void HTTP_Connection::reserve_declared_body() {
  constexpr curl_off_t MAX_RESERVED_BODY = curl_off_t{4} << 20;
  curl_off_t declared = -1;
  if (curl_easy_getinfo(easy_.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &declared) == CURLE_OK &&
      declared > 0) {
    response_body_.reserve(static_cast<std::size_t>(std::min(declared, MAX_RESERVED_BODY)));
  }
}

// libcurl knows no socket time-out of its own for sending and receiving, so
// an exchange that moves no byte for longer than the session's send (while
// the request is going out) or receive time-out is ended here.  The connect
// time-out covers everything before the connection is ready.
int HTTP_Connection::on_progress(void* self, std::int64_t, std::int64_t down_now,
                                 std::int64_t up_total, std::int64_t up_now) {
  auto* conn = static_cast<HTTP_Connection*>(self);
  curl_off_t ready = 0;
  curl_easy_getinfo(conn->easy_.get(), CURLINFO_PRETRANSFER_TIME_T, &ready);
  if (ready == 0) return 0;
  const auto now = std::chrono::steady_clock::now();
  const std::int64_t moved = down_now + up_now;
  if (moved != conn->bytes_moved_) {
    conn->bytes_moved_ = moved;
    conn->last_moved_ = now;
    return 0;
  }
  const HTTP_Session_Settings& s = conn->session_->settings();
  const int limit = up_now < up_total ? s.send_timeout : s.recv_timeout;
  if (now - conn->last_moved_ < std::chrono::seconds(limit)) return 0;
  conn->stalled_ = true;
  return 1;
}

int HTTP_Connection::read_head(CGI_Response& response) {
  if (state_ != State::HEAD_TAKEN) {
    fail(EINVAL);
    QC_LOG_ERROR("Response head of '%s' read twice.\n", url_.c_str());
    return -1;
  }
  state_ = State::DONE;
  if (length_declared_ && request_body_.size() != declared_length_) {
    fail(EINVAL);
    QC_LOG_ERROR("Request body for '%s' has %Q bytes, its Content-Length says %Q.\n", url_.c_str(),
                 static_cast<ACE_UINT64>(request_body_.size()),
                 static_cast<ACE_UINT64>(declared_length_));
    return -1;
  }

  CURL* easy = easy_.get();
  curl_easy_reset(easy);
  error_buffer_[0] = '\0';
  int rc = curl_apply_session_options(easy, session_->settings(), error_buffer_);
  if (rc == CURLE_OK && fresh_connection_) rc = curl_easy_setopt(easy, CURLOPT_FRESH_CONNECT, 1L);
  if (rc == CURLE_OK) rc = curl_easy_setopt(easy, CURLOPT_CURLU, target_.get());
  if (rc == CURLE_OK) rc = curl_easy_setopt(easy, CURLOPT_HTTPHEADER, header_list_.get());
  if (rc == CURLE_OK) rc = curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &HTTP_Connection::on_body);
  if (rc == CURLE_OK) rc = curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
  if (rc == CURLE_OK) rc = curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
  if (rc == CURLE_OK)
    rc = curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &HTTP_Connection::on_progress);
  if (rc == CURLE_OK) rc = curl_easy_setopt(easy, CURLOPT_XFERINFODATA, this);
  if (rc == CURLE_OK && method_ == HTTP_METHOD_POST) {
    rc = curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE,
                          static_cast<curl_off_t>(request_body_.size()));
    if (rc == CURLE_OK) rc = curl_easy_setopt(easy, CURLOPT_POSTFIELDS, request_body_.data());
  }
  const auto started = std::chrono::steady_clock::now();
  if (rc == CURLE_OK) rc = curl_easy_perform(easy);
  long status = 0;
  if (rc == CURLE_OK) curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
  notify_http_exchange({static_cast<int>(status), std::chrono::steady_clock::now() - started});

  if (rc != CURLE_OK) {
    long os_errno = 0;
    curl_easy_getinfo(easy, CURLINFO_OS_ERRNO, &os_errno);
    if (body_too_large_ || rc == CURLE_FILESIZE_EXCEEDED) {
      fail(EMSGSIZE);
      QC_LOG_ERROR("Reply from '%s' exceeds %Q bytes, errno=%d, %m.\n", url_.c_str(),
                   static_cast<ACE_UINT64>(HTTP_Session_Factory::MAX_BODY_SIZE), EMSGSIZE);
      return -1;
    }
    // libcurl's own clock says whether the whole exchange's time ran out
    // (its stall backstop and the connect time-out end it sooner).
    const int deadline = session_->settings().exchange_deadline;
    curl_off_t took = 0;
    curl_easy_getinfo(easy, CURLINFO_TOTAL_TIME_T, &took);
    if (rc == CURLE_OPERATION_TIMEDOUT && took >= curl_off_t{deadline} * 1000000 - 10000) {
      fail(ETIMEDOUT);
      QC_LOG_ERROR(
          "HTTP exchange with '%s' failed: it ran out of time (%d s, the longest an exchange "
          "may take), errno=%d, %m.\n",
          url_.c_str(), deadline, ETIMEDOUT);
      return -1;
    }
    if (stalled_) {
      fail(ETIMEDOUT);
      QC_LOG_ERROR(
          "HTTP exchange with '%s' failed: no data moved within the time-out, errno=%d, "
          "%m.\n",
          url_.c_str(), ETIMEDOUT);
      return -1;
    }
    const int error = curl_errno(rc, os_errno);
    // libcurl's own message names host and port; should it ever quote the
    // query string (key id, signature) or the proxy's password, its generic
    // text is used instead.
    const char* why = error_buffer_;
    const secure_string& proxy_password = session_->settings().proxy.password;
    if (!*why || (!query_.empty() && std::strstr(why, query_.c_str())) ||
        (!proxy_password.empty() && std::strstr(why, proxy_password.c_str())))
      why = curl_easy_strerror(CURLcode(rc));
    fail(error);
    QC_LOG_ERROR("HTTP exchange with '%s' failed: %s, errno=%d, %m.\n", url_.c_str(), why, error);
    return -1;
  }

  long version = 0;
  curl_easy_getinfo(easy, CURLINFO_HTTP_VERSION, &version);
  try {
    response.headers().clear();
    curl_header* h = nullptr;
    while ((h = curl_easy_nextheader(easy, CURLH_HEADER, -1, h)))
      response.headers().add(h->name, h->value);
  } catch (const std::bad_alloc&) {
    fail(ENOMEM);
    QC_LOG_ERROR("Failed to store the response head of '%s', errno=%d, %m.\n", url_.c_str(),
                 ENOMEM);
    return -1;
  }
  response.status(static_cast<int>(status));
  response.minor_version(minor_version_of(version));
  response.has_body(!response_body_.empty());
  last_error_ = 0;
  return 0;
}
