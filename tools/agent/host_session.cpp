#include "tools/agent/host_session.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "host/http/http_tls_context.h"
#include "tools/agent/home_owner.h"
#include "tools/agent/plugin_loader.h"
#include "tools/agent/proxy_choice.h"
#include "tools/agent/terminal_text.h"

const char* const HOST_OPTIONS_USAGE =
    "  --home DIR      the host's folder (default $QINGCLOUD_AGENT_HOME, else ~/.qingcloud-agent)\n"
    "  --plugin PATH   the plug-in to load (default: beside this program)\n"
    "  --ca-file F     trust the CA certificates in F for TLS\n"
    "  --proxy URL     reach the platform through this HTTP proxy (default: `config set\n"
    "                  proxy`, else https_proxy, http_proxy and no_proxy as curl reads them)\n"
    "  --verbose       show what the plug-in logs\n";

std::vector<std::string> with_host_options(std::vector<std::string> own) {
  own.insert(own.end(), {"--home", "--plugin", "--ca-file", "--proxy"});
  return own;
}

std::vector<std::string> with_host_flags(std::vector<std::string> own) {
  own.push_back("--verbose");
  return own;
}

bool Host_Session::open(const Arg_Reader& args, bool with_plugin, std::string& error) {
  if (!args.has("--verbose"))
    quiet_ = std::make_unique<Log_Lines>();
  else
    verbose_ = std::make_unique<Line_Log>(2, is_journal_stream(2, std::getenv("JOURNAL_STREAM")));
  const std::string dir =
      Agent_Home::choose(args.value("--home"), [](const char* name) { return std::getenv(name); });
  if (!act_as_home_owner(dir, error) || !home_.open(dir, error)) return false;
  if (!with_plugin) return true;
  const std::string ca_file = args.value("--ca-file");
  if (!ca_file.empty()) {
    if (::access(ca_file.c_str(), R_OK) != 0) {
      error = "cannot read CA file " + ca_file + ": " + std::strerror(errno);
      return false;
    }
    HTTP_TLS_Context::set_default_ca_file(ca_file);
  }
  if (!choose_proxy(args.value("--proxy"), &home_, error)) return false;
  return host_.start(home_, args.value("--plugin", Plugin_Library::default_path()), error);
}

int host_fail(const char* command, int code, const std::string& line) {
  std::fprintf(stderr, "qingcloud-agent %s: %s\n", command, printable(line).c_str());
  return code;
}

std::string failure_reason(const json_spirit::Object& cause) {
  auto hint = cause.find("hint");
  if (hint != cause.end() && hint->second.type() == json_spirit::str_type)
    return hint->second.get_str();
  auto log = cause.find("log");
  if (log == cause.end() || log->second.type() != json_spirit::array_type ||
      log->second.get_array().empty() ||
      log->second.get_array().back().type() != json_spirit::str_type)
    return std::string();
  std::string line = log->second.get_array().back().get_str();
  // "dir/file.cpp:123: text." -> "text"
  const std::size_t colon = line.find(": ");
  if (colon != std::string::npos && line.rfind(':', colon - 1) != std::string::npos &&
      line.find(' ') > colon)
    line.erase(0, colon + 2);
  if (!line.empty() && line.back() == '.') line.pop_back();
  return line;
}

std::string answer_reason(const json_spirit::Value& answer) {
  if (answer.type() != json_spirit::obj_type) return std::string();
  const json_spirit::Object& o = answer.get_obj();
  auto error = o.find("error");
  if (error != o.end() && error->second.type() == json_spirit::obj_type) {
    auto data = error->second.get_obj().find("data");
    if (data != error->second.get_obj().end() && data->second.type() == json_spirit::obj_type)
      return failure_reason(data->second.get_obj());
    return std::string();
  }
  auto result = o.find("result");
  if (result != o.end() && result->second.type() == json_spirit::obj_type)
    return failure_reason(result->second.get_obj());
  return std::string();
}

int answer_fail(const char* command, const json_spirit::Value& answer) {
  host_fail(command, HOST_FAILED, answer_error(answer));
  const std::string reason = answer_reason(answer);
  if (!reason.empty()) host_fail(command, HOST_FAILED, reason);
  return HOST_FAILED;
}

std::string answer_error(const json_spirit::Value& answer) {
  if (answer.type() != json_spirit::obj_type) return "no answer";
  const json_spirit::Object& o = answer.get_obj();
  auto error = o.find("error");
  if (error == o.end()) return o.count("result") ? "" : "no answer";
  const json_spirit::Object& e = error->second.get_obj();
  return "error " + std::to_string(e.at("code").get_int()) + ": " + e.at("message").get_str();
}
