#include "tools/agent/host_session.h"

#include <cstdlib>

#include "tools/agent/common_options.h"
#include "tools/agent/home_owner.h"
#include "tools/agent/plugin_loader.h"
#include "tools/agent/proxy_choice.h"

bool Host_Session::open(const Arg_Reader& args, bool with_plugin, std::string& error) {
  if (!args.has("--verbose"))
    quiet_ = std::make_unique<Log_Lines>();
  else
    verbose_ = std::make_unique<Line_Log>(2, is_journal_stream(2, std::getenv("JOURNAL_STREAM")));
  const std::string dir =
      Agent_Home::choose(args.value("--home"), [](const char* name) { return std::getenv(name); });
  if (!act_as_home_owner(dir, error) || !home_.open(dir, error)) return false;
  return !with_plugin || load_plugin(args, error);
}

bool Host_Session::load_plugin(const Arg_Reader& args, std::string& error) {
  return use_ca_file(args.value("--ca-file"), error) &&
         choose_proxy(
             args.value("--proxy"),
             [this](secure_string& url, std::string& why) {
               return home_.setting("proxy", url, why);
             },
             error) &&
         host_.start(home_, args.value("--plugin", Plugin_Library::default_path()), error);
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
  std::string line = without_location(log->second.get_array().back().get_str());
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

int answer_fail(const std::string& command, const json_spirit::Value& answer) {
  command_fail(command, EXIT_FAILED, answer_error(answer));
  const std::string reason = answer_reason(answer);
  if (!reason.empty()) command_fail(command, EXIT_FAILED, reason);
  return EXIT_FAILED;
}

std::string answer_error(const json_spirit::Value& answer) {
  if (answer.type() != json_spirit::obj_type) return "no answer";
  const json_spirit::Object& o = answer.get_obj();
  auto error = o.find("error");
  if (error == o.end()) return o.count("result") ? "" : "no answer";
  const json_spirit::Object& e = error->second.get_obj();
  return "error " + std::to_string(e.at("code").get_int()) + ": " + e.at("message").get_str();
}
