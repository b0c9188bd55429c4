#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include <boost/json/value.hpp>

#include "testing/request_signer.h"

namespace httplib {
class Client;
}

namespace testing_support {

// A reply as a test sees it.
struct Sim_Reply {
  int status = 0;  // HTTP status; 0 when no answer came (connection ended)
  std::string body;
  boost::json::value json;  // the parsed body; null when it is not JSON

  // "ret_code", or -1 when there is none.
  std::int64_t ret_code() const;
  std::string message() const;
  // "total_count", or -1.
  std::int64_t total_count() const;
  // The ids (member `id_key`) of the records in the array member `set_key`.
  std::vector<std::string> ids(const char* set_key, const char* id_key) const;
};

// An HTTP client for tests that signs like the platform's clients, with the
// independent signer of request_signer.h, over one keep-alive connection.
// Adds "version", "signature_version" and "signature_method" like the system
// does.  Not thread safe.
class Sim_Client {
 public:
  Sim_Client(const std::string& host, int port, bool tls = false);
  ~Sim_Client();
  Sim_Client(Sim_Client&&) noexcept;
  Sim_Client& operator=(Sim_Client&&) noexcept;

  void use_key(std::string access_key_id, std::string secret);
  // Where time stamps come from (default: the system clock).
  void use_clock(std::function<std::int64_t()> now) { now_ = std::move(now); }

  // GET /iaas/: `params` are further pairs, lists written as "name.1", ...
  Sim_Reply iaas(const std::string& action, Pairs params = {});
  // POST /boss2/: `params` go into the JSON of "params".
  Sim_Reply boss2(const std::string& action, boost::json::object params = {});

  // The pairs these send, before signing, for tests that tamper with them.
  Pairs iaas_pairs(const std::string& action, Pairs params) const;
  Pairs boss2_pairs(const std::string& action, boost::json::object params) const;
  const std::string& secret() const { return secret_; }

  // Unsigned requests, sent as given.
  Sim_Reply get(const std::string& target);
  Sim_Reply post(const std::string& path, const std::string& body,
                 const std::string& content_type = "application/x-www-form-urlencoded");

  std::string time_stamp() const;
  void set_read_timeout_ms(int milliseconds);

 private:
  std::unique_ptr<httplib::Client> http_;
  std::string access_key_id_;
  std::string secret_;
  std::function<std::int64_t()> now_;
};

}  // namespace testing_support
