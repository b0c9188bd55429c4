#include "tools/qingcloud_sim/authenticator.h"

#include "tools/qingcloud_sim/signature.h"
#include "tools/qingcloud_sim/sim_clock.h"

namespace qingcloud_sim {
namespace {

// Queries and plain forms carry "signature_method" as a pair; back-office
// forms inside the "params" JSON.
std::string signature_method_of(const Decoded_Request& request) {
  if (const std::string* method = request.pair("signature_method")) return *method;
  if (request.packed() && request.params) {
    try {
      return request.params->text_or("signature_method", "");
    } catch (const Api_Error&) {
      return "?";
    }
  }
  return std::string();
}

}  // namespace

Caller authenticate(const Decoded_Request& request, const Platform& platform, std::int64_t wall_now,
                    std::int64_t max_skew) {
  const std::string* key_id = request.pair("access_key_id");
  const std::string* signature = request.pair("signature");
  Key_Info key;
  if (key_id == nullptr || signature == nullptr || !platform.find_key(*key_id, &key))
    throw auth_failure();

  Signature_Method method;
  const std::string method_name = signature_method_of(request);
  if (!parse_signature_method(method_name, &method))
    throw invalid_parameter("signature_method", "should be HmacSHA256 or HmacSHA1");
  const std::string expected = compute_signature(
      method, key.secret,
      string_to_sign(request.method, request.path, canonical_query(request.pairs)));
  if (expected.empty() || !signatures_equal(expected, *signature)) throw auth_failure();

  const std::string* time_stamp = request.pair("time_stamp");
  if (time_stamp == nullptr || time_stamp->empty()) throw missing_parameter("time_stamp");
  std::int64_t sent = 0;
  if (!parse_time(*time_stamp, &sent))
    throw invalid_parameter("time_stamp", "should look like 2013-08-27T14:30:10Z");
  if (sent > wall_now + max_skew || sent < wall_now - max_skew) throw request_expired(*time_stamp);

  Caller caller;
  caller.access_key_id = *key_id;
  caller.back_office = key.back_office;
  caller.user_id = key.user_id;
  return caller;
}

}  // namespace qingcloud_sim
