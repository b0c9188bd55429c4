#include "tools/agent/call_command.h"

#include <string>

#include "api/api_error.h"
#include "api/qingcloud_session.h"
#include "host/json_spirit/writer.h"
#include "tools/agent/call_args.h"
#include "tools/agent/command_entry.h"
#include "tools/agent/log_lines.h"
#include "tools/agent/proxy_choice.h"
#include "tools/agent/terminal_text.h"

namespace {

const char* const USAGE =
    "usage: qingcloud-agent call --host H [--port P] [--no-ssl] [--ca-file F] [--proxy URL]\n"
    "           [--boss] --access-key-id K [--secret-file F]\n"
    "           ACTION [name=value ...] [name:=JSON ...]\n"
    "Sends one signed request and prints the platform's reply as indented JSON: GET to\n"
    "\"/iaas/\", or POST to \"/boss2/\" with --boss.  Exit 1 when the platform or the\n"
    "connection fails, 2 for unusable arguments, secret or CA file; one line says why.\n\n"
    "options:\n"
    "  --boss              the back-office API (POST \"/boss2/\")\n"
    "  name=value          a string parameter; name:=JSON any JSON value\n";

const char* const EXAMPLE =
    "\nexample:\n"
    "  qingcloud-agent call --host 127.0.0.1 --port 8080 --no-ssl --boss --access-key-id \\\n"
    "      QYDEMOBOSS0000000001 DescribeZones status:='[\"active\"]'\n";

int call(const Arg_Reader& args, const Call_IO& io) {
  auto fail = [&io](int code, const std::string& line) {
    return command_fail("call", code, line, io.err);
  };
  Call_Options options;
  std::string error;
  if (!parse_call_args(args, options, error))
    return fail(EXIT_BAD_USAGE, error + " (see qingcloud-agent call --help)");
  Connection& c = options.connection;
  secure_string secret;
  if (!load_secret(c.secret_file, io.getenv, secret, error, io.terminal))
    return fail(EXIT_BAD_USAGE, error);
  // The session trusts the host-wide CA file, as a private cloud's agent would.
  if (!use_ca_file(c.ca_file, error) || !choose_proxy(c.proxy, nullptr, error))
    return fail(EXIT_BAD_USAGE, error);

  Log_Lines lines;
  qingcloud::QingCloud_Session session;
  if (!session.connect(c.host, c.port, c.ssl, std::move(c.access_key_id), std::move(secret)))
    return fail(EXIT_BAD_USAGE, "cannot use " + c.host + ": " + lines.first());

  json_spirit::Object result;
  const bool ok = options.boss
                      ? session.send_request(HTTP_METHOD_POST, "/boss2/", options.params, result)
                      : session.send_request(HTTP_METHOD_GET, "/iaas/", options.params, result);
  if (!ok) return fail(EXIT_FAILED, failure_line(session.err_code(), session.api_err_msg(), lines));
  std::fprintf(io.out, "%s\n", printable_json(json_spirit::JSON_Dump(result, true).str()).c_str());
  return EXIT_OK;
}

int run(Command_Context& c) {
  return call(c.args, Call_IO());
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

const Command_Entry CALL_COMMAND = {"call",
                                    "send one signed request to a QingCloud API endpoint",
                                    USAGE,
                                    EXAMPLE,
                                    {},
                                    {"--boss"},
                                    CONNECTION_OPTIONS,
                                    Needs::NOTHING,
                                    false,
                                    run};

int run_call(const Command_Args& words, const Call_IO& io) {
  const Arg_Reader args = read_command_args(CALL_COMMAND, words);
  if (!args.ok())
    return command_fail("call", EXIT_BAD_USAGE, args.error() + " (see qingcloud-agent call --help)",
                        io.err);
  return call(args, io);
}
