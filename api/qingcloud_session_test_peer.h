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
    return s.query_string(method, params);
  }
  static bool fill_signature(QingCloud_Session& s, int method, const char* uri,
                             std::string& query) {
    return s.fill_signature(method, uri, query);
  }
  static void set_clock(QingCloud_Session& s, std::time_t (*clock)()) { s.clock_ = clock; }
  // Replaces the HTTP session that `connect` made, e.g. by one with short time-outs.
  static void set_http_session(QingCloud_Session& s, HTTP_Session_var sess) {
    s.sess_ = std::move(sess);
  }
};

}  // namespace qingcloud
