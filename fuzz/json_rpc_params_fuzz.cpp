// JSON-RPC messages from the host and the console: the message reader takes
// any JSON, gives a message that reads back from its own wire form unchanged,
// and the connection settings load from any params without throwing, log
// each failure once, never log a key and load back what they dump.

#include <memory>
#include <string>

#include "common/host_info.h"
#include "fuzz/fuzz_support.h"
#include "host/agent/json_rpc_object.h"
#include "host/json_spirit/object_get.h"
#include "host/json_spirit/reader.h"

namespace {

using json_spirit::Value;

void check_keys_not_logged(const Value& params) {
  if (params.type() != json_spirit::obj_type) return;
  for (const char* key : {"access_key", "secret_access_key"}) {
    const std::string* text = json_spirit::object_get_str(params.get_obj(), key);
    if (text && fuzz_support::is_canary_secret(*text)) FUZZ_CHECK(!fuzz_support::logged(*text));
  }
}

void load_host_info(const Value& params) {
  qingcloud::Host_Info info;
  fuzz_support::clear_log();
  const bool loaded = info.load(params);
  FUZZ_CHECK(fuzz_support::log_lines().size() == (loaded ? 0u : 1u));
  check_keys_not_logged(params);
  if (!loaded) return;
  FUZZ_CHECK(info.port != 0);
  const json_spirit::Object dumped = info.dump();
  qingcloud::Host_Info again;
  FUZZ_CHECK(again.load(dumped));
  FUZZ_CHECK(again.dump() == dumped);
}

void check_message(const JSON_RPC_Object& message) {
  FUZZ_CHECK(message.kind() >= JSON_RPC_Object::KIND_NOTIFICATION &&
             message.kind() <= JSON_RPC_Object::KIND_ERROR);
  const Value wire = message.to_json();
  std::string error;
  std::unique_ptr<JSON_RPC_Object> again(parse_json_rpc_object(wire, &error));
  FUZZ_CHECK(again != nullptr);
  FUZZ_CHECK(again->kind() == message.kind());
  FUZZ_CHECK(again->to_json() == wire);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz_support::clear_log();
  Value json;
  if (!json_spirit::read(fuzz_support::as_text(data, size), json)) return 0;

  std::string error;
  std::unique_ptr<JSON_RPC_Object> message(parse_json_rpc_object(json, &error));
  if (!message) {
    FUZZ_CHECK(!error.empty());
    // Bare params, as a handler sees them.
    load_host_info(json);
    return 0;
  }
  check_message(*message);
  // The login test carries the settings as params; the host's answer to
  // "qingcloud.query" carries them as result.
  if (const auto* request = dynamic_cast<const JSON_RPC_Request*>(message.get())) {
    load_host_info(request->params());
  } else if (const auto* response = dynamic_cast<const JSON_RPC_Response*>(message.get())) {
    load_host_info(response->result());
  }
  return 0;
}
