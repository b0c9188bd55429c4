#include "tools/agent/settings_args.h"

#include <arpa/inet.h>
#include <cstdlib>

#include "tools/agent/call_args.h"

const char* const SETTINGS_USAGE =
    "  --boss-host H       the back-office API host (logins go there): a host name or\n"
    "                      address, without scheme, path or port\n"
    "  --api-host H2       the infrastructure API host\n"
    "  --port P            the port of both (default 443, 80 with --no-ssl)\n"
    "  --no-ssl            plain HTTP, for a private endpoint without TLS\n"
    "  --access-key-id K   the back-office access key id\n"
    "  --version V         the platform's release (default 5.1.1)\n"
    "  --secret-file F     read the secret from F (else QINGCLOUD_SECRET_ACCESS_KEY, else\n"
    "                      it is asked for when standard input is a terminal)\n";

std::vector<std::string> settings_options() {
  return {"--boss-host",     "--api-host",    "--port", "--version",
          "--access-key-id", "--secret-file", "--name"};
}

std::vector<std::string> settings_flags() {
  return {"--ssl", "--no-ssl"};
}

bool has_settings(const Arg_Reader& args) {
  for (const std::string& option : settings_options())
    if (args.has(option)) return true;
  return args.has("--ssl") || args.has("--no-ssl");
}

bool read_settings_args(const Arg_Reader& args, Settings_Args& read, std::string& error) {
  read.name = args.value("--name");
  read.boss_host = args.value("--boss-host");
  read.api_host = args.value("--api-host");
  read.key_id = args.value("--access-key-id");
  read.version = args.value("--version", "5.1.1");
  if (read.boss_host.empty()) error = "--boss-host is missing";
  if (read.api_host.empty()) error = "--api-host is missing";
  if (read.key_id.empty()) error = "--access-key-id is missing";
  if (!error.empty() || !check_host(read.boss_host, "--boss-host", error) ||
      !check_host(read.api_host, "--api-host", error))
    return false;
  if (!read_port_and_tls(args, read.port, read.ssl, error)) return false;
  return load_secret(
      args.value("--secret-file"), [](const char* n) { return std::getenv(n); }, read.secret,
      error);
}

bool settings_from_args(const Settings_Args& args, const Agent_Home& home,
                        json_spirit::Object& settings, std::string& error) {
  std::string cipher;
  if (!home.encrypt(args.secret, cipher, error)) return false;
  settings = settings_object(args.version, args.boss_host, args.api_host, args.port, args.ssl,
                             args.key_id, cipher, args.name);
  return true;
}

bool check_host(const std::string& host, const std::string& field, std::string& error) {
  unsigned char address[16];
  if (inet_pton(AF_INET6, host.c_str(), address) == 1) return true;
  const char* wrong = nullptr;
  if (host.find("://") != std::string::npos)
    wrong = "a URL: give the host alone, and TLS or not with its own choice";
  else if (host.find('/') != std::string::npos)
    wrong = "a path: give the host alone";
  else if (host.find(':') != std::string::npos)
    wrong = "a port: give the host alone, and its port with the port's own field";
  else if (host.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                  "0123456789.-_") != std::string::npos)
    wrong = "characters no host name has";
  if (!wrong) return true;
  error = field + " takes a host name or address, not " + wrong + " ('" + host + "')";
  return false;
}

std::string same_settings_as(const Agent_Home::Environments& kept, const std::string& uuid,
                             const json_spirit::Object& settings) {
  auto same = [&settings](const json_spirit::Object& other, const char* key) {
    auto a = settings.find(key), b = other.find(key);
    return (a == settings.end()) == (b == other.end()) &&
           (a == settings.end() || a->second == b->second);
  };
  for (const auto& [other_uuid, other] : kept) {
    if (other_uuid == uuid) continue;
    bool all = true;
    for (const char* key : {"boss_host", "api_host", "port", "ssl", "access_key"})
      all = all && same(other, key);
    if (all) return other_uuid;
  }
  return std::string();
}

bool settings_within_limits(const std::string& uuid, const json_spirit::Object& settings,
                            bool as_options, std::string& error) {
  static const struct {
    const char* key;
    const char* option;
    std::size_t max;
  } LIMITS[] = {
      {"boss_host", "--boss-host", 253},         {"api_host", "--api-host", 253},
      {"access_key", "--access-key-id", 64},     {"version", "--version", 64},
      {"secret_access_key", "the secret", 1024}, {"name", "--name", 64},
  };
  auto too_long = [&](const char* key, const char* option, std::size_t max) {
    error = std::string(as_options ? option : key) + " is longer than " + std::to_string(max) +
            " bytes";
    return false;
  };
  if (uuid.size() > 64) return too_long("uuid", "--uuid", 64);
  for (const auto& limit : LIMITS) {
    auto it = settings.find(limit.key);
    if (it != settings.end() && it->second.type() == json_spirit::str_type &&
        it->second.get_str().size() > limit.max)
      return too_long(limit.key, limit.option, limit.max);
  }
  return true;
}

json_spirit::Object settings_object(const std::string& version, const std::string& boss_host,
                                    const std::string& api_host, int port, bool ssl,
                                    const std::string& key_id, const std::string& cipher,
                                    const std::string& name) {
  json_spirit::Object settings{{"version", version},
                               {"boss_host", boss_host},
                               {"api_host", api_host},
                               {"port", port},
                               {"ssl", ssl},
                               {"access_key", key_id},
                               {"secret_access_key", cipher},
                               {"only_boss", true}};
  if (!name.empty()) settings["name"] = name;
  return settings;
}
