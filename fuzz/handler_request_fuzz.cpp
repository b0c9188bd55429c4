// A console request through each JSON-RPC handler, the platform's replies
// fuzzed too.  The input is lines: the handler ("list" or "login"), the
// request's params as JSON, then the bodies the platform answers with, one
// a line, in order (when they run out it answers that nothing was found).
// In the params of a login test, the strings "$HOST" and "$SECRET" stand for
// the scripted platform and the secret encrypted for the host key, and
// "$PORT" for its port.
//
// Checked: exactly one answer, a result or an error of the handler's codes;
// a login test's result is {"status": true} or {"status": false, "message"};
// the decrypted secret never shows in the log or the answer (unless the
// input itself holds it, say as a host name in a reply).

#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "fuzz/fuzz_support.h"
#include "host/agent/global_json_rpc.h"
#include "host/agent/host_manager.h"
#include "host/crypto/rsa_encoder.h"
#include "host/crypto/rsa_key.h"
#include "host/json_spirit/object_get.h"
#include "host/json_spirit/reader.h"
#include "host/json_spirit/writer.h"
#include "testing/scripted_http_server.h"
#include "websvcs_agent/qingcloud_list_handler.h"
#include "websvcs_agent/qingcloud_login_handler.h"

namespace {

using json_spirit::Object;
using json_spirit::Value;
using testing_support::Scripted_Reply;

const char* const SECRET = "FuzzCanarySecret0123456789";
const char* const NOTHING_FOUND = R"({"ret_code":0,"total_count":0})";

// What stays for the whole run: the host key, the platform, the handlers.
struct Host {
  Host() {
    secure_string key;
    FUZZ_CHECK(generate_rsa_private_key(2048, key));
    Host_Manager::instance()->rsa_prvkey(key);
    RSA_Encoder enc(SECRET, std::strlen(SECRET), key.data(), key.size(), RSA_Encoder::BASE64_TEXT,
                    RSA_Encoder::OAEP_SHA256);
    FUZZ_CHECK(enc);
    cipher.assign(enc.get(), enc.length());
    platform.responder([this](const testing_support::Received_Request&) {
      std::lock_guard<std::mutex> lock(mutex);
      std::string body = NOTHING_FOUND;
      if (!replies.empty()) {
        body = std::move(replies.front());
        replies.pop_front();
      }
      return Scripted_Reply::json(std::move(body));
    });
    settings = Object{{"version", "5.1.1"},        {"boss_host", "127.0.0.1"},
                      {"api_host", "127.0.0.1"},   {"port", int(platform.port())},
                      {"access_key", "QYFUZZKEY"}, {"secret_access_key", cipher}};
    register_global_json_rpc("qingcloud.query", [this](const Value&, Value& result) {
      result = settings;
      return true;
    });
  }

  std::string cipher;
  Object settings;
  testing_support::Scripted_HTTP_Server platform;
  std::mutex mutex;
  std::deque<std::string> replies;
  qingcloud::JSON_RPC_QingCloud_List_Handler list;
  qingcloud::JSON_RPC_QingCloud_Login_Handler login;
};

Host& host() {
  static Host* h = new Host();  // lives until the process ends
  return *h;
}

// The login test's params with the placeholders filled in.
void fill_in(Value& params, const Host& h) {
  if (params.type() != json_spirit::obj_type) return;
  for (auto& [key, value] : params.get_obj()) {
    if (value.type() != json_spirit::str_type) continue;
    const std::string& text = value.get_str();
    if (text == "$HOST") value = "127.0.0.1";
    if (text == "$SECRET") value = h.cipher;
    if (text == "$PORT") value = int(h.platform.port());
  }
}

void check_answer(const Value& answer, bool login) {
  FUZZ_CHECK(answer.type() == json_spirit::obj_type);
  const Object& o = answer.get_obj();
  if (const Object* error = json_spirit::object_get_object(o, "error")) {
    int code = 0;
    FUZZ_CHECK(json_spirit::object_get(*error, "code", code));
    FUZZ_CHECK(code == -32602 || code == -32603);
    FUZZ_CHECK(error->at("data").is_null());
    return;
  }
  const Value& result = o.at("result");
  if (!login) {
    FUZZ_CHECK(result.type() == json_spirit::array_type);
    return;
  }
  FUZZ_CHECK(result.type() == json_spirit::obj_type);
  bool status = false;
  FUZZ_CHECK(json_spirit::object_get(result.get_obj(), "status", status));
  FUZZ_CHECK(result.get_obj().count("message") == (status ? 0u : 1u));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Host& h = host();
  std::string_view text = fuzz_support::as_text(data, size);
  const bool secret_given = text.find(SECRET) != std::string_view::npos;
  auto next_line = [&text] {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    return line;
  };
  const std::string_view which = next_line();
  const bool login = which == "login";
  if (!login && which != "list") return 0;
  Value params;
  if (!json_spirit::read(next_line(), params)) return 0;
  if (login) fill_in(params, h);
  {
    std::lock_guard<std::mutex> lock(h.mutex);
    h.replies.clear();
    while (!text.empty())
      h.replies.emplace_back(next_line());
  }

  fuzz_support::clear_log();
  auto* channel = new JSON_RPC_Collecting_Channel();
  JSON_RPC_Channel_var channel_var(channel);
  JSON_RPC_Handler& handler = login ? static_cast<JSON_RPC_Handler&>(h.login) : h.list;
  handler.handle_object(channel_var,
                        JSON_RPC_Object_var(new JSON_RPC_Request(1, "qingcloud.fuzz", params)));
  FUZZ_CHECK(channel->sent().size() == 1);
  const Value answer = channel->last_json();
  check_answer(answer, login);
  if (!secret_given) {
    FUZZ_CHECK(!fuzz_support::logged(SECRET));
    FUZZ_CHECK(json_spirit::JSON_Dump(answer, false).str().find(SECRET) == std::string::npos);
  }
  return 0;
}
