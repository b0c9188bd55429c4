#pragma once

#include <ctime>
#include <string>

#include "api/qingcloud_session.h"

namespace qingcloud {

// Reaches the internal steps of a session, for tests and benchmarks.
class QingCloud_Session_Peer {
 public:
  static std::string query_string(QingCloud_Session& s, int method,
                                  const json_spirit::Object& params) {
    const secure_string query = s.query_string(method, params);
    return std::string(query.data(), query.size());
  }
  static bool fill_signature(QingCloud_Session& s, int method, const char* uri,
                             std::string& query) {
    secure_string signed_query(query);
    const bool ok = s.fill_signature(method, uri, signed_query);
    query.assign(signed_query.data(), signed_query.size());
    return ok;
  }
  // Both steps on one secure string, as a request takes them; empty when
  // the signature failed.
  static secure_string signed_query(QingCloud_Session& s, int method, const char* uri,
                                    const json_spirit::Object& params) {
    secure_string query = s.query_string(method, params);
    if (!s.fill_signature(method, uri, query)) query.clear();
    return query;
  }
  static void set_clock(QingCloud_Session& s, std::time_t (*clock)()) { s.clock_ = clock; }
  // Replaces the HTTP session that `connect` made, e.g. by one with short time-outs.
  static void set_http_session(QingCloud_Session& s, HTTP_Session_var sess) {
    s.sess_ = std::move(sess);
  }
};

}  // namespace qingcloud
