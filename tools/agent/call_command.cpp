#include "tools/agent/call_command.h"

#include <cstring>
#include <exception>
#include <string>
#include <unistd.h>

#include "api/api_error.h"
#include "api/qingcloud_session.h"
#include "host/http/http_proxy.h"
#include "host/http/http_tls_context.h"
#include "host/json_spirit/writer.h"
#include "tools/agent/call_args.h"
#include "tools/agent/log_lines.h"
#include "tools/agent/proxy_argument.h"
#include "tools/agent/terminal_text.h"

namespace {

const char* const PREFIX = "qingcloud-agent call: ";

int fail(const Call_IO& io, int code, const std::string& line) {
  std::fprintf(io.err, "%s%s\n", PREFIX, printable(line).c_str());
  return code;
}

int call(const Command_Args& args, const Call_IO& io) {
  Call_Options options;
  std::string error;
  if (!parse_call_args(args, options, error))
    return fail(io, CALL_BAD_USAGE, error + " (see qingcloud-agent call --help)");
  if (options.help) {
    std::fputs(CALL_USAGE, io.out);
    return CALL_OK;
  }
  secure_string secret;
  if (!load_secret(options.secret_file, io.getenv, secret, error, io.terminal))
    return fail(io, CALL_BAD_USAGE, error);
  if (!options.ca_file.empty()) {
    if (::access(options.ca_file.c_str(), R_OK) != 0)
      return fail(io, CALL_BAD_USAGE,
                  "cannot read CA file " + options.ca_file + ": " + std::strerror(errno));
    // The session trusts the host-wide CA file, as a private cloud's agent would.
    HTTP_TLS_Context::set_default_ca_file(options.ca_file);
  }
  if (!no_password_in_argument(options.proxy, "--proxy", error))
    return fail(io, CALL_BAD_USAGE, error);
  if (!options.proxy.empty() && !http_set_default_proxy(options.proxy, error))
    return fail(io, CALL_BAD_USAGE, "unusable proxy: " + error);

  Log_Lines lines;
  qingcloud::QingCloud_Session session;
  if (!session.connect(options.host, options.port, options.ssl, std::move(options.access_key_id),
                       std::move(secret)))
    return fail(io, CALL_BAD_USAGE, "cannot use " + options.host + ": " + lines.first());

  json_spirit::Object result;
  const bool ok = options.boss
                      ? session.send_request(HTTP_METHOD_POST, "/boss2/", options.params, result)
                      : session.send_request(HTTP_METHOD_GET, "/iaas/", options.params, result);
  if (!ok)
    return fail(io, CALL_FAILED, failure_line(session.err_code(), session.api_err_msg(), lines));
  std::fprintf(io.out, "%s\n", printable_json(json_spirit::JSON_Dump(result, true).str()).c_str());
  return CALL_OK;
}

}  // namespace

std::string failure_line(int err, const std::string& api_err_msg, const Log_Lines& lines) {
  std::string line;
  if (err == qingcloud::API_NETWORK_ERROR) {
    line = "network error (-2)";
  } else if (err == qingcloud::API_INTERNAL_ERROR) {
    line = "internal error (-1)";
  } else if (err != qingcloud::API_SUCCESS) {
    line = "error " + std::to_string(err);
    if (!api_err_msg.empty()) return line + ": " + api_err_msg;
  }
  const std::string detail = lines.first();
  if (line.empty()) return detail.empty() ? "failed, and nothing said why" : detail;
  return detail.empty() ? line : line + ": " + detail;
}

int run_call(const Command_Args& args, const Call_IO& io) {
  try {
    return call(args, io);
  } catch (const std::exception& e) {
    return fail(io, CALL_FAILED, std::string("unexpected failure: ") + e.what());
  }
}

int call_command(const Command_Args& args) {
  return run_call(args, Call_IO());
}
