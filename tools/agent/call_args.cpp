#include "tools/agent/call_args.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "host/json_spirit/reader.h"
#include "tools/agent/arg_reader.h"
#include "tools/agent/files.h"
#include "tools/agent/secret_prompt.h"

namespace {

// A secret file larger than this is not a secret key.
constexpr std::size_t MAX_SECRET_FILE = 4096;

// "name=value" (a string) or "name:=JSON" (any JSON value).
bool add_param(const std::string& arg, json_spirit::Object& params, std::string& error) {
  const std::size_t eq = arg.find('=');
  if (eq == std::string::npos) {
    error = "'" + arg + "' is neither name=value nor name:=JSON";
    return false;
  }
  const bool json = eq > 0 && arg[eq - 1] == ':';
  const std::string name = arg.substr(0, json ? eq - 1 : eq);
  const std::string text = arg.substr(eq + 1);
  if (name.empty()) {
    error = "'" + arg + "' has no parameter name";
    return false;
  }
  if (!json) {
    params[name] = text;
    return true;
  }
  json_spirit::Value value;
  std::string why;
  if (!json_spirit::read(text, value, &why)) {
    error = "the value of " + name + " is not JSON (" + why + ")";
    return false;
  }
  params[name] = std::move(value);
  return true;
}

}  // namespace

bool parse_call_args(const Arg_Reader& a, Call_Options& o, std::string& error) {
  if (!read_connection(a, o.connection, error)) return false;
  o.boss = a.has("--boss");
  const std::vector<std::string>& words = a.words();
  const std::string action = words.empty() ? std::string() : words.front();
  for (std::size_t i = 1; i < words.size(); ++i)
    if (!add_param(words[i], o.params, error)) return false;
  if (o.connection.host.empty()) {
    error = "--host is missing";
  } else if (o.connection.access_key_id.empty()) {
    error = "--access-key-id is missing";
  } else if (action.empty()) {
    error = "ACTION is missing";
  }
  if (!error.empty()) return false;
  o.params["action"] = action;
  // What the clients add to every call, unless the command line says otherwise.
  o.params.emplace("version", 1);
  o.params.emplace("signature_version", 1);
  o.params.emplace("signature_method", "HmacSHA256");
  return true;
}

bool load_secret(const std::string& secret_file,
                 const std::function<const char*(const char*)>& getenv, secure_string& secret,
                 std::string& error, int terminal) {
  if (secret_file.empty()) {
    const char* env = getenv("QINGCLOUD_SECRET_ACCESS_KEY");
    if ((!env || !*env) && terminal >= 0 && ::isatty(terminal))
      return ask_secret(terminal, "Secret access key: ", secret, error);
    if (!env || !*env) {
      error = "no secret access key: set QINGCLOUD_SECRET_ACCESS_KEY or give --secret-file";
      return false;
    }
    secret.assign(env);
    return true;
  }

  // As ssh takes a key: a regular file of this user's, not a link, that
  // nobody else may read; a FIFO is refused, not waited on.  A command that
  // root runs on the service's home reads it before it takes the home
  // owner's identity, so a file of root's alone works.
  if (!read_file(secret_file, secret, MAX_SECRET_FILE, PRIVATE_FILE, error, nullptr, "secret file"))
    return false;
  if (!secret.empty() && secret.back() == '\n') secret.pop_back();
  if (!secret.empty() && secret.back() == '\r') secret.pop_back();
  if (secret.empty()) {
    error = "secret file " + secret_file + " is empty";
    return false;
  }
  return true;
}
