#pragma once

#include <memory>
#include <string>

#include "host/json_spirit/value.h"
#include "tools/agent/agent_home.h"
#include "tools/agent/agent_host.h"
#include "tools/agent/arg_reader.h"
#include "tools/agent/exit_code.h"
#include "tools/agent/line_log.h"
#include "tools/agent/log_lines.h"

// What a host command runs in: the home folder with its key and
// environments, and (for the commands that reach the plug-in) the host with
// the plug-in's handlers.  The plug-in's log lines are kept back (the last
// Log_Lines::MAX_LINES of them) unless --verbose is given (then they go to
// standard error one event a line): the command reports failures in its own
// words.  Run by root on a home folder of another user, the command takes
// that user's identity.
class Host_Session {
 public:
  // Opens the home (--home) and, with `with_plugin`, loads the plug-in as
  // load_plugin does.  False, with the problem in `error`.
  bool open(const Arg_Reader& args, bool with_plugin, std::string& error);
  // Loads the plug-in (--plugin) and sets the host-wide CA file (--ca-file)
  // and proxy (--proxy, else the home's).
  bool load_plugin(const Arg_Reader& args, std::string& error);

  Agent_Home& home() { return home_; }
  Agent_Host& host() { return host_; }

 private:
  std::unique_ptr<Log_Lines> quiet_;
  std::unique_ptr<Line_Log> verbose_;
  Agent_Home home_;
  Agent_Host host_;
};

// The error of a JSON-RPC answer as one line ("error CODE: MESSAGE"), or ""
// when the answer is a result.
std::string answer_error(const json_spirit::Value& answer);

// Why a failure happened, from what the host added to it (an error's data,
// or a failed login test's result): the hint, else the last line logged,
// without its source location; "" when nothing was.
std::string failure_reason(const json_spirit::Object& cause);
std::string answer_reason(const json_spirit::Value& answer);

// Prints the error of `answer` and then its reason, each on a line of its
// own, as `command`'s failure; returns EXIT_FAILED.
int answer_fail(const std::string& command, const json_spirit::Value& answer);
