#include "tools/qingcloud_sim/request_decoding.h"

namespace qingcloud_sim {

const std::string* Decoded_Request::pair(std::string_view name) const {
  for (const auto& [n, v] : pairs)
    if (n == name) return &v;
  return nullptr;
}

bool Decoded_Request::packed() const {
  return method == "POST" && path == BACK_OFFICE_PATH;
}

std::int64_t Decoded_Request::offset() const {
  if (!params) return 0;
  try {
    return params->integer_or("offset", 0);
  } catch (const Api_Error&) {
    return 0;
  }
}

Decoded_Request decode_request(std::string method, std::string path, std::string_view raw,
                               std::string_view content_type) {
  Decoded_Request d;
  d.method = std::move(method);
  d.path = std::move(path);
  if (d.method == "POST" &&
      content_type.substr(0, content_type.find(';')) != "application/x-www-form-urlencoded") {
    d.error = parameter_error("the body must be application/x-www-form-urlencoded");
    return d;
  }
  if (!parse_form(raw, &d.pairs)) {
    d.pairs.clear();
    d.error = parameter_error("the request parameters are not well-formed percent-encoding");
    return d;
  }
  if (const std::string* action = d.pair("action")) d.action = *action;
  try {
    if (d.packed()) {
      const std::string* text = d.pair("params");
      if (text == nullptr) throw missing_parameter("params");
      d.params = Params::from_json_text(*text);
    } else {
      d.params = Params::from_pairs(d.pairs);
    }
  } catch (const Api_Error& e) {
    d.params_error = e;
  }
  return d;
}

}  // namespace qingcloud_sim
