// Requests as the simulator receives them: the first byte picks GET (even)
// or POST (odd), the rest is the query string or the form body.  Decoding
// never throws; what it decodes encodes back to pairs that decode the same;
// the parameters answer every question without throwing anything but the
// platform's own errors.

#include <string>

#include "fuzz/fuzz_support.h"
#include "tools/qingcloud_sim/api_error.h"
#include "tools/qingcloud_sim/request_decoding.h"
#include "tools/qingcloud_sim/wire_encoding.h"

namespace {

using qingcloud_sim::Param_List;

void check_round_trip(const Param_List& pairs) {
  std::string form;
  for (const auto& [name, value] : pairs) {
    if (name.empty() && value.empty()) continue;
    if (!form.empty()) form += '&';
    form += qingcloud_sim::percent_encode(name) + "=" + qingcloud_sim::percent_encode(value);
  }
  Param_List again;
  FUZZ_CHECK(qingcloud_sim::parse_form(form, &again));
  Param_List kept;
  for (const auto& pair : pairs)
    if (!(pair.first.empty() && pair.second.empty())) kept.push_back(pair);
  FUZZ_CHECK(again == kept);
}

void ask(const qingcloud_sim::Params& params) {
  for (const char* name : {"action", "zone", "instances", "limit", "offset", "status", "cpu"}) {
    try {
      params.text(name);
      params.text_or(name, "x");
      params.integer(name);
      params.integer_or(name, 7);
      params.list(name);
      params.integer_list(name);
      params.required_text(name);
    } catch (const qingcloud_sim::Api_Error&) {
      // The platform answers these with its own error.
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const bool post = data[0] % 2 == 1;
  const std::string_view raw = fuzz_support::as_text(data + 1, size - 1);
  const qingcloud_sim::Decoded_Request request =
      qingcloud_sim::decode_request(post ? "POST" : "GET", post ? "/boss2/" : "/iaas/", raw,
                                    post ? "application/x-www-form-urlencoded" : "");
  if (request.error) return 0;
  check_round_trip(request.pairs);
  if (request.params) ask(*request.params);
  FUZZ_CHECK(request.params.has_value() != request.params_error.has_value());
  request.offset();
  return 0;
}
