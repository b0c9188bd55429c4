#include "api/qingcloud_session.h"

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <exception>
#include <iterator>
#include <stdexcept>

#include <ace/OS_NS_time.h>

#include "api/api_constants.h"
#include "api/api_error.h"
#include "api/api_params.h"
#include "host/crypto/hmac_generator.h"
#include "host/http/http_json_reader.h"
#include "host/http/http_session_factory.h"
#include "host/json_spirit/writer.h"
#include "host/support/secure_memset.h"
#include "json/extract.h"
#include "support/http_query_string_builder.h"
#include "support/http_response.h"
#include "support/log.h"
#include "support/posix_time_format.h"
#include "support/snprintf.h"

namespace qingcloud {

namespace {

// "&signature=" and a SHA-256 digest in base64, percent-encoded at worst.
constexpr std::size_t SIGNATURE_ROOM = 11 + 44 * 3;

}  // namespace

std::time_t QingCloud_Session::wall_clock() noexcept {
  return ACE_OS::time(nullptr);
}

bool QingCloud_Session::connect(std::string host, unsigned short port, bool ssl,
                                secure_string access_key_id, secure_string secret_access_key) {
  host_ = std::move(host);
  port_ = port;
  ssl_ = ssl;
  access_key_id_ = std::move(access_key_id);
  secret_access_key_ = std::move(secret_access_key);
  sess_ = HTTP_Session_Factory::create(host_, port_, ssl_, nullptr, DEFAULT_IDLE_CONNECTIONS,
                                       nullptr, false, DEFAULT_SOCKET_SEND_TIMEOUT,
                                       DEFAULT_SOCKET_RECV_TIMEOUT, DEFAULT_SOCKET_CONN_TIMEOUT, 0);
  return sess_ != nullptr;
}

bool QingCloud_Session::can_send(const char* uri, const json_spirit::Object& params) {
  api_err_msg_.clear();
  err_code_ = call_error_number(Call_Stage::PREPARE);
  request_sent_ = false;
  changes_resources_ = false;
  if (!sess_) {
    QC_LOG_UNEXPECTED("sess_ is NULL");
    return false;
  }
  if (!uri || !*uri) {
    QC_LOG_UNEXPECTED("uri is NULL or \"\"");
    return false;
  }
  if (params.find("action") == params.end()) {
    QC_LOG_ERROR("Parameter missing 'action'.\n");
    return false;
  }
  const json_spirit::Value& action = params.find("action")->second;
  changes_resources_ =
      action.type() != json_spirit::str_type || action_changes_resources(action.get_str());
  return true;
}

bool QingCloud_Session::outcome_unknown() const noexcept {
  return changes_resources_ && request_sent_ && err_code_ == API_NETWORK_ERROR;
}

bool QingCloud_Session::send_request(int method, const char* uri, const json_spirit::Object& params,
                                     json_spirit::Object& result) {
  if (!can_send(uri, params)) return false;
  if (method != HTTP_METHOD_GET && method != HTTP_METHOD_POST) {
    QC_LOG_ERROR("Unsupported request method: %d.\n", method);
    return false;
  }
  return exchange(method, method == HTTP_METHOD_POST, uri, params, result);
}

bool QingCloud_Session::send_form_request(const char* uri, const json_spirit::Object& params,
                                          json_spirit::Object& result) {
  return can_send(uri, params) && exchange(HTTP_METHOD_POST, false, uri, params, result);
}

bool QingCloud_Session::exchange(int method, bool packed, const char* uri,
                                 const json_spirit::Object& params, json_spirit::Object& result) {
  try {
    secure_string query = query_string(params, packed);
    if (!fill_signature(method, uri, query)) {
      QC_LOG_ERROR("Failed to fill signature.\n");
      return false;
    }

    HTTP_Request request(method, uri, true);
    request.fresh_connection(changes_resources_);
    HTTP_Response response;
    err_code_ = call_error_number(Call_Stage::EXCHANGE);
    request_sent_ = true;
    HTTP_Connection_var conn;
    if (method == HTTP_METHOD_GET) {
      request.query_string(std::move(query));
      conn = sess_->send(request, &response);
      if (!conn) {
        QC_LOG_ERROR("Failed to send request to '%s'.\n", HTTP_Session_URL(sess_, request).c_str());
        return false;
      }
    } else {
      request.content_length(query.size());
      request.content_type(FORM_CONTENT_TYPE);
      conn = sess_->send(request, nullptr);
      if (!conn) {
        QC_LOG_ERROR("Failed to send request to '%s'.\n", HTTP_Session_URL(sess_, request).c_str());
        return false;
      }
      if (conn->write(query.data(), query.size()) != static_cast<ssize_t>(query.size())) {
        errno = conn->last_error();
        QC_LOG_ERROR("Failed to POST data to '%s' errno=%d, %m.\n",
                     HTTP_Session_URL(sess_, request).c_str(), conn->last_error());
        return false;
      }
      if (conn->read_head(response) == -1) {
        errno = conn->last_error();
        QC_LOG_ERROR("Failed to receive response from '%s', errno=%d, %m.\n",
                     HTTP_Session_URL(sess_, request).c_str(), conn->last_error());
        return false;
      }
    }

    if (!reply_carries_answer(response.status(), response.has_body())) {
      QC_LOG_ERROR("Failed to send request to '%s', status=%d, has%s body.\n",
                   HTTP_Session_URL(sess_, request).c_str(), response.status(),
                   response.has_body() ? "" : " no");
      return false;
    }
    return handle_body(conn, result);
  } catch (const std::exception& e) {
    // Only memory exhaustion gets here; the error number of the stage reached stays.
    QC_LOG_ERROR("Failed to send request, exception: %s.\n", e.what());
    return false;
  }
}

secure_string QingCloud_Session::query_string(int method, const json_spirit::Object& params) {
  return query_string(params, method == HTTP_METHOD_POST);
}

secure_string QingCloud_Session::query_string(const json_spirit::Object& params, bool packed) {
  API_Params api_params;
  api_params.set_parameter("access_key_id", access_key_id_.c_str());
  POSIX_Time_Format time_stamp(TIME_STAMP_FORMAT, clock_());
  api_params.set_parameter("time_stamp", time_stamp.c_str());
  if (!packed) {
    for (const auto& [name, value] : params)
      api_params.set_parameter(name.c_str(), value);
  } else {
    auto action = params.find("action");
    if (action != params.end()) api_params.set_parameter("action", action->second);
    json_spirit::JSON_Dump packed(params, false);
    api_params.set_parameter("params", packed.c_str());
    // The parameters are in the wiped set now; their text goes too.
    secure_memset(const_cast<char*>(packed.c_str()), 0, packed.length());
  }
  return api_params.query_string(SIGNATURE_ROOM);
}

bool QingCloud_Session::fill_signature(int method, const char* uri, secure_string& query) {
  const char* method_name = http_method_string(method);
  // "METHOD\nURI\nQUERY", grown as needed and wiped when done.
  const char* method_text = method_name ? method_name : "";
  const char* uri_text = uri ? uri : "";
  secure_string to_sign;
  to_sign.reserve(std::strlen(method_text) + std::strlen(uri_text) + query.size() + 2);
  to_sign.append(method_text).append(1, '\n').append(uri_text).append(1, '\n').append(query);
  HMAC_Generator mac(secret_access_key_.data(), secret_access_key_.size(), to_sign.data(),
                     to_sign.size(), SIGNATURE_DIGEST, true);
  if (!mac) {
    QC_LOG_ERROR("Failed to generate signature.\n");
    return false;
  }
  std::string signature;
  signature.reserve(mac.length() * 3);
  http_encode_string_i(mac.c_str(), API_Params::URL_ENCODE_FLAG, std::back_inserter(signature));
  HTTP_Query_String_Builder_T<std::back_insert_iterator<secure_string>> builder(
      std::back_inserter(query), true);
  builder("signature", signature.c_str(), false, false, nullptr);
  return true;
}

void QingCloud_Session::invalid_reply() noexcept {
  api_err_msg_.clear();
  err_code_ = call_error_number(Call_Stage::DECODE);
}

bool QingCloud_Session::handle_body(const HTTP_Connection_var& conn, json_spirit::Object& result) {
  err_code_ = call_error_number(Call_Stage::DECODE);
  if (!read(conn, result)) return false;
  api_err_msg_.clear();
  try {
    // Narrowed, a code such as 4294967296 would read as 0: success.
    std::int64_t ret_code = 0;
    extract_or_throw(result)("ret_code", ret_code);
    if (ret_code < INT32_MIN || ret_code > INT32_MAX) {
      throw std::out_of_range("'ret_code' " + std::to_string(ret_code) +
                              " is not a 32-bit integer");
    }
    err_code_ = call_error_number(Call_Stage::ANSWERED, static_cast<int>(ret_code));
    extract(result)("message", api_err_msg_);
  } catch (const std::exception& e) {
    QC_LOG_ERROR("Invalid response format, exception: %s.\n", e.what());
    return false;
  }
  if (err_code_ != API_SUCCESS) {
    QC_LOG_ERROR("Failed to call api: errno=%d, %s.\n", err_code_, api_err_msg_.c_str());
    return false;
  }
  return true;
}

}  // namespace qingcloud
