#include "common/host_info.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <stdexcept>
#include <string_view>

#include "host/agent/global_json_rpc.h"
#include "host/agent/host_manager.h"
#include "host/crypto/rsa_decoder.h"
#include "host/json_spirit/writer.h"
#include "host/support/loose_version.h"
#include "json/extract.h"
#include "json/insert.h"
#include "support/log.h"

namespace qingcloud {
namespace {

// An optional member that is present must be of its kind: settings whose
// "ssl" is the text "true" would otherwise quietly mean plain HTTP.
const json_spirit::Value* optional_member(const json_spirit::Object& obj, const char* key,
                                          json_spirit::Value_type type, const char* kind) {
  const json_spirit::Value* value = json_spirit::object_get_value(obj, key);
  if (value != nullptr && value->type() != type) {
    throw std::invalid_argument(std::string("key '") + key + "': value is " +
                                json_spirit::value_type_name(value->type()) + ", not " + kind);
  }
  return value;
}

// An optional "port" must name a TCP port: storing only the low 16 bits
// would point the library at a service it was never given.
void read_port(const json_spirit::Object& obj, std::uint16_t& port) {
  const json_spirit::Value* value = optional_member(obj, "port", json_spirit::int_type, "integer");
  if (value == nullptr) return;
  bool in_range = value->is_uint64() ? value->get_uint64() >= 1 && value->get_uint64() <= 65535
                                     : value->get_int64() >= 1 && value->get_int64() <= 65535;
  if (!in_range) {
    throw std::out_of_range("Attribute 'port' is " + json_spirit::JSON_Dump(*value, false).str() +
                            ", not a TCP port from 1 to 65535");
  }
  port = static_cast<std::uint16_t>(value->get_int64());
}

void read_ssl(const json_spirit::Object& obj, bool& ssl) {
  const json_spirit::Value* value = optional_member(obj, "ssl", json_spirit::bool_type, "bool");
  if (value != nullptr) ssl = value->get_bool();
}

// A host name or address as a URL takes it: letters, digits, "-", ".", "_",
// and ":" with brackets for IPv6.  Anything else (a blank, a NUL byte, "/",
// "@") would point the request somewhere else or nowhere; refused at once.
void check_host(const std::string& host, const char* key) {
  const bool usable =
      !host.empty() && host.size() <= 253 && std::all_of(host.begin(), host.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) ||
               std::string_view("-._:[]").find(c) != std::string_view::npos;
      });
  if (!usable) {
    throw std::invalid_argument(std::string("Attribute '") + key + "' is not a host name");
  }
}

template <class Enum>
Enum find_name(const List_Name_Entry<Enum>* entry, const char* name) {
  std::size_t len = name ? std::strlen(name) : 0;
  for (; entry->name != nullptr; ++entry) {
    if (name && entry->name_len == len && std::memcmp(entry->name, name, len) == 0) {
      return entry->value;
    }
  }
  return entry->value;  // the closing entry
}

}  // namespace

bool Host_Info::load(const json_spirit::Value& json) {
  try {
    const json_spirit::Object& obj = json.get_obj();
    const std::string* access_key_text = nullptr;
    const std::string* secret_text = nullptr;
    auto ex = extract_or_throw(obj);
    ex("version", version)("boss_host", boss_host)("api_host", api_host);
    check_host(boss_host, "boss_host");
    check_host(api_host, "api_host");
    read_port(obj, port);
    read_ssl(obj, ssl);
    ex("access_key", access_key_text)("secret_access_key", secret_text)("only_boss", only_boss,
                                                                        FG_NOTHROW);
    access_key.assign(access_key_text->data(), access_key_text->size());
    secret_access_key.assign(secret_text->data(), secret_text->size());
    return true;
  } catch (const std::exception& e) {
    QC_LOG_ERROR("Invalid qingcloud host info format, exception: %s.\n", e.what());
    return false;
  }
}

json_spirit::Object Host_Info::dump() const {
  json_spirit::Object obj;
  insert(obj)("version", version)("boss_host", boss_host)("api_host", api_host)("port", port)(
      "ssl", ssl)("access_key", std::string(access_key.data(), access_key.size()))(
      "secret_access_key", std::string(secret_access_key.data(), secret_access_key.size()))(
      "only_boss", only_boss);
  return obj;
}

bool get_host_info(const std::string& uuid, Host_Info& info) {
  json_spirit::Object params;
  insert(params)("uuid", uuid);
  json_spirit::Value result;
  if (!global_json_rpc("qingcloud.query", params, 1, &result, json_spirit::obj_type, -1)) {
    QC_LOG_ERROR("Failed to request 'qingcloud.query'.\n");
    return false;
  }
  return info.load(result) && decrypt_rsa_string(info.secret_access_key);
}

bool decrypt_rsa_string(secure_string& encrypted) {
  const secure_string key = Host_Manager::instance()->rsa_prvkey();
  RSA_Decoder decoder(encrypted.data(), encrypted.size(), key.data(), key.size(),
                      RSA_Decoder::BASE64_TEXT, RSA_Decoder::OAEP_SHA256);
  if (!decoder) {
    QC_LOG_ERROR("Failed to RSA decrypt string.\n");
    return false;
  }
  encrypted.assign(decoder.get(), decoder.length());
  return true;
}

bool is_supported_version(const std::string& version) {
  Loose_Version parsed;
  if (!parsed.parse(version) || parsed.components().front() != 5) return false;
  for (const char* supported : supported_versions) {
    Loose_Version listed;
    if (listed.parse(supported) && parsed.compare(listed) == 0) return true;
  }
  return false;
}

List_View list_name_to_view(const char* name) {
  return find_name(list_view_table, name);
}

List_Type list_name_to_type(const char* name) {
  return find_name(list_type_table, name);
}

bool client_expands(List_View view, List_Type type) {
  switch (type) {
    case TYPE_ZONE:
      return view != VIEW_UNKNOWN;
    case TYPE_HOST:
      return view == VIEW_HOST;
    case TYPE_INSTANCE:
      return view == VIEW_HOST || view == VIEW_INSTANCE;
    case TYPE_USER:
      return view == VIEW_RECOVERY;
    default:
      return false;
  }
}

}  // namespace qingcloud
