#include "tools/agent/common_options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "host/http/http_tls_context.h"

namespace {

struct Option {
  unsigned groups;
  const char* name;
  bool flag;
  const char* help;  // its lines, each ending in a line break
};

const Option OPTIONS[] = {
    {HOME_OPTION | HOST_OPTIONS, "--home", false,
     "  --home DIR          the host's folder (default $QINGCLOUD_AGENT_HOME, else\n"
     "                      ~/.qingcloud-agent); run as root on a folder of another user, a\n"
     "                      command takes that user's identity\n"},
    {HOST_OPTIONS, "--plugin", false,
     "  --plugin PATH       the plug-in to load (default: beside this program)\n"},
    {CONNECTION_OPTIONS, "--host", false, "  --host H            the API host\n"},
    {CONNECTION_OPTIONS, "--port", false,
     "  --port P            its port (default 443, or 80 with --no-ssl)\n"},
    {CONNECTION_OPTIONS, "--no-ssl", true,
     "  --no-ssl            plain HTTP, for a private endpoint without TLS\n"},
    {CONNECTION_OPTIONS, "--ssl", true, nullptr},  // the default, taken and changing nothing
    {HOST_OPTIONS | CONNECTION_OPTIONS, "--ca-file", false,
     "  --ca-file F         trust the CA certificates in F for TLS\n"},
    {HOST_OPTIONS, "--proxy", false,
     "  --proxy URL         reach the platform through this HTTP proxy (default: `config set\n"
     "                      proxy`, else https_proxy, http_proxy and no_proxy as curl reads\n"
     "                      them); one with a password is refused here\n"},
    {CONNECTION_OPTIONS, "--proxy", false,
     "  --proxy URL         reach the platform through this HTTP proxy (default: https_proxy,\n"
     "                      http_proxy and no_proxy as curl reads them); one with a password\n"
     "                      is refused here\n"},
    {CONNECTION_OPTIONS, "--access-key-id", false,
     "  --access-key-id K   the access key id; its secret comes from\n"
     "                      QINGCLOUD_SECRET_ACCESS_KEY or --secret-file, or is typed when\n"
     "                      asked for, never from the command line\n"},
    {CONNECTION_OPTIONS, "--secret-file", false,
     "  --secret-file F     read the secret from F, a file of this user's that nobody else\n"
     "                      may read\n"},
    {HOST_OPTIONS, "--verbose", true,
     "  --verbose           show what the plug-in logs, one event a line\n"},
};

}  // namespace

void add_group_options(unsigned groups, std::vector<std::string>& options,
                       std::vector<std::string>& flags) {
  for (const Option& o : OPTIONS)
    if (o.groups & groups) (o.flag ? flags : options).push_back(o.name);
}

std::string group_usage(unsigned groups) {
  std::string text;
  for (const Option& o : OPTIONS)
    if ((o.groups & groups) && o.help) text += o.help;
  return text;
}

bool parse_port(const std::string& text, unsigned short& port) {
  if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  const unsigned long n = std::strtoul(text.c_str(), nullptr, 10);
  if (n == 0 || n > 65535) return false;
  port = static_cast<unsigned short>(n);
  return true;
}

bool choose_tls(bool ssl_given, bool no_ssl_given, bool& ssl, unsigned short& port,
                std::string& error) {
  if (ssl_given && no_ssl_given) {
    error = "--ssl and --no-ssl exclude each other";
    return false;
  }
  ssl = !no_ssl_given;
  if (port == 0) port = ssl ? 443 : 80;
  return true;
}

bool read_port_and_tls(const Arg_Reader& args, unsigned short& port, bool& ssl,
                       std::string& error) {
  if (args.has("--port") && !parse_port(args.value("--port"), port)) {
    error = "--port wants a number from 1 to 65535, not '" + args.value("--port") + "'";
    return false;
  }
  return choose_tls(args.has("--ssl"), args.has("--no-ssl"), ssl, port, error);
}

bool read_connection(const Arg_Reader& args, Connection& c, std::string& error) {
  c.host = args.value("--host");
  c.ca_file = args.value("--ca-file");
  c.proxy = args.value("--proxy");
  c.secret_file = args.value("--secret-file");
  const std::string key_id = args.value("--access-key-id");
  c.access_key_id.assign(key_id.data(), key_id.size());
  return read_port_and_tls(args, c.port, c.ssl, error);
}

bool use_ca_file(const std::string& ca_file, std::string& error) {
  if (ca_file.empty()) return true;
  if (::access(ca_file.c_str(), R_OK) != 0) {
    error = "cannot read CA file " + ca_file + ": " + std::strerror(errno);
    return false;
  }
  HTTP_TLS_Context::set_default_ca_file(ca_file);
  return true;
}
