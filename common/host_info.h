#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "host/json_spirit/value.h"
#include "support/secure_string.h"

namespace qingcloud {

// The connection settings of one QingCloud environment, as the login test
// sends them or as the host keeps them ("qingcloud.query").  Filled once per
// request and dropped with it.
struct Host_Info {
  std::string version;    // release of the environment, checked by is_supported_version
  std::string boss_host;  // back-office API host; the login goes there
  std::string api_host;   // infrastructure API host
  std::uint16_t port = 80;
  bool ssl = false;
  secure_string access_key;
  // RSA-encrypted as it arrives; plain text once decrypt_rsa_string succeeded.
  secure_string secret_access_key;
  bool only_boss = true;  // kept with the settings, not consulted here

  // Reads the settings from a JSON object: "version", "boss_host",
  // "api_host", "access_key" and "secret_access_key" are required strings
  // (the two hosts host names: no blanks, NUL bytes or URL punctuation);
  // "port" (an integer from 1 to 65535) and "ssl" (a bool) are optional but
  // refused when present and of another kind; "only_boss" is optional and
  // keeps its default when absent or of another kind.  False, logged, on malformed
  // settings; fields read before the fault keep their new values, the keys
  // are only set on success.
  bool load(const json_spirit::Value& json);

  // All eight members; the keys as plain strings holding what the record
  // holds, cipher or plain text.
  json_spirit::Object dump() const;
};

// Fetches the settings of the environment `uuid` from the host, loads them
// into `info` and decrypts the secret.  False, logged, on any failure.
bool get_host_info(const std::string& uuid, Host_Info& info);

// Replaces the base64 RSA cipher text `encrypted` by its plain text, using
// the host's private key.  False, logged, with `encrypted` unchanged when it
// does not decrypt.
bool decrypt_rsa_string(secure_string& encrypted);

// The platform releases this library speaks to.
inline constexpr const char* supported_versions[] = {"5.1.1"};

// True for a release of major version 5 listed in supported_versions.
bool is_supported_version(const std::string& version);

// The views and node types of list requests.
enum List_View : std::uint32_t {
  VIEW_UNKNOWN = 0,
  VIEW_RECOVERY = 1,
  VIEW_HOST = 2,
  VIEW_INSTANCE = 3,
};

enum List_Type : std::uint32_t {
  TYPE_UNKNOWN = 0,
  TYPE_TOP = 1,
  TYPE_ZONE = 2,
  TYPE_HOST = 3,
  TYPE_INSTANCE = 4,
  TYPE_USER = 5,
  TYPE_VXNET = 6,
};

// One entry of a name table; a table ends with an entry whose name is null
// and whose value is the "unknown" enumerator.
template <class Enum>
struct List_Name_Entry {
  const char* name;
  std::size_t name_len;
  Enum value;
};

template <class Enum, std::size_t N>
constexpr List_Name_Entry<Enum> list_name(const char (&name)[N], Enum value) {
  return {name, N - 1, value};
}

inline constexpr List_Name_Entry<List_View> list_view_table[] = {
    list_name("recovery", VIEW_RECOVERY),
    list_name("hosts", VIEW_HOST),
    list_name("vms", VIEW_INSTANCE),
    {nullptr, 0, VIEW_UNKNOWN},
};

inline constexpr List_Name_Entry<List_Type> list_type_table[] = {
    list_name("", TYPE_TOP),
    list_name("Zone", TYPE_ZONE),
    list_name("HostSystem", TYPE_HOST),
    list_name("VirtualMachine", TYPE_INSTANCE),
    list_name("User", TYPE_USER),
    list_name("Vxnet", TYPE_VXNET),
    {nullptr, 0, TYPE_UNKNOWN},
};

// The enumerator of a request's name, matched exactly (case matters); the
// "unknown" value for a null or unlisted name.
List_View list_name_to_view(const char* name);
List_Type list_name_to_type(const char* name);

// Whether a client that walks the tree as the backup console does expands a
// node of `type` in `view`: not always what its "has_children" says (the
// recovery view's hosts say true but are not listed there; instances say
// false but open to their disks).  The host program's walks and the
// benchmarks ask this; the console's script keeps the same table.
bool client_expands(List_View view, List_Type type);

}  // namespace qingcloud
