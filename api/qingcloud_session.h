#pragma once

#include <ctime>
#include <string>

#include "host/http/http_connection.h"
#include "host/http/http_method.h"
#include "host/http/http_session.h"
#include "host/json_spirit/value.h"
#include "support/secure_string.h"

namespace qingcloud {

// The road to one QingCloud API endpoint with one access key pair.  Each call
// turns a JSON object of parameters into the canonical query string, adds
// "access_key_id" and "time_stamp", signs it with HMAC-SHA256 over method,
// path and query string, sends it (GET: in the URL; POST: as a form body with
// the parameters packed into "params", or as pairs through send_form_request)
// and reads the JSON reply.  The outcome
// of the last call stays in `err_code` and `api_err_msg`.  Used by one thread
// at a time; the secret key is only ever the HMAC key.
class QingCloud_Session {
 public:
  QingCloud_Session() = default;
  // Not copied, so that the keys are not either; moved with its client.
  QingCloud_Session(const QingCloud_Session&) = delete;
  QingCloud_Session& operator=(const QingCloud_Session&) = delete;
  QingCloud_Session(QingCloud_Session&&) = default;
  QingCloud_Session& operator=(QingCloud_Session&&) = default;

  // Takes over the endpoint and the keys and opens an HTTP session; false
  // when the HTTP library cannot make one.  The keys are checked only by the
  // first request.
  bool connect(std::string host, unsigned short port, bool ssl, secure_string access_key_id,
               secure_string secret_access_key);

  // One call: `method` is HTTP_METHOD_GET or HTTP_METHOD_POST, `uri` the API
  // path ("/iaas/"), `params` must hold "action".  True when the platform
  // answered with "ret_code" 0; `result` then holds the whole reply (after an
  // API error too).  Never throws; every failure is logged.
  bool send_request(int method, const char* uri, const json_spirit::Object& params,
                    json_spirit::Object& result);
  // The same call as a POST form whose body holds the parameters as a GET's
  // query would (the infrastructure API's POST form), signed for POST: for
  // parameters that must not travel in a URL, which proxies and servers log.
  bool send_form_request(const char* uri, const json_spirit::Object& params,
                         json_spirit::Object& result);

  unsigned short port() const noexcept { return port_; }
  bool ssl() const noexcept { return ssl_; }
  // 0 success, -1 internal error, -2 network error, else the platform's "ret_code".
  int err_code() const noexcept { return err_code_; }
  // The platform's "message" of the last call.
  const std::string& api_err_msg() const noexcept { return api_err_msg_; }
  // Whether the last call got as far as sending its request: the platform
  // may have acted on it, whatever the outcome.
  bool request_sent() const noexcept { return request_sent_; }
  // Whether the last call changes resources and failed on the way after
  // its request was sent: the platform may or may not have carried it out
  // (it is never sent twice).
  bool outcome_unknown() const noexcept;
  // For a caller that finds the last reply unusable although it was read:
  // the call's error number becomes that of an unreadable reply.
  void invalid_reply() noexcept;

 private:
  friend class QingCloud_Session_Peer;  // tests and benchmarks reach the steps below

  // Resets the outcome and checks what every call needs.
  bool can_send(const char* uri, const json_spirit::Object& params);
  // Signs and sends the parameters, `packed` into "params" or as pairs, in
  // the query (GET) or a form body (POST), and reads the reply.
  bool exchange(int method, bool packed, const char* uri, const json_spirit::Object& params,
                json_spirit::Object& result);
  // The query string to be signed, without signature.  Like the string to
  // sign, it names the key id and may carry a request's secrets, so it lives
  // in wiped storage.  GET sends the parameters as pairs, POST packed.
  secure_string query_string(int method, const json_spirit::Object& params);
  secure_string query_string(const json_spirit::Object& params, bool packed);
  // Appends "&signature=..." for `method`, `uri` and `query` to `query`.
  bool fill_signature(int method, const char* uri, secure_string& query);
  // Reads the reply and its "ret_code".
  bool handle_body(const HTTP_Connection_var& conn, json_spirit::Object& result);

  std::string host_;
  unsigned short port_ = 0;
  bool ssl_ = false;
  std::string user_;
  secure_string access_key_id_;
  secure_string secret_access_key_;
  HTTP_Session_var sess_;
  int err_code_ = 0;
  std::string api_err_msg_;
  bool request_sent_ = false;
  bool changes_resources_ = false;
  // Where "time_stamp" comes from; tests put a fixed clock here.
  std::time_t (*clock_)() = &wall_clock;

  static std::time_t wall_clock() noexcept;
};

}  // namespace qingcloud
