#include "common/host_info.h"

#include <algorithm>
#include <vector>

#include <gtest/gtest.h>

#include "testing/json_text.h"
#include "testing/log_capture.h"

namespace qingcloud {
namespace {

using json_spirit::Object;
using json_spirit::Value;
using testing_support::json_value;

// Settings as the console sends them for a login test.
const char* const SETTINGS = R"({
  "version": "5.1.1", "boss_host": "boss.sh1b.example.com", "api_host": "api.sh1b.example.com",
  "port": 443, "ssl": true, "access_key": "QYACCESSKEYIDEXAMPLE",
  "secret_access_key": "b64-cipher-text==", "only_boss": false})";

class Host_Info_Load : public ::testing::Test {
 protected:
  Value settings = json_value(SETTINGS);
  Object& obj() { return settings.get_obj(); }
  testing_support::Log_Capture log;
};

TEST_F(Host_Info_Load, ReadsEveryKey) {
  Host_Info info;
  ASSERT_TRUE(info.load(settings));
  EXPECT_EQ(info.version, "5.1.1");
  EXPECT_EQ(info.boss_host, "boss.sh1b.example.com");
  EXPECT_EQ(info.api_host, "api.sh1b.example.com");
  EXPECT_EQ(info.port, 443);
  EXPECT_TRUE(info.ssl);
  EXPECT_EQ(info.access_key, "QYACCESSKEYIDEXAMPLE");
  EXPECT_EQ(info.secret_access_key, "b64-cipher-text==");
  EXPECT_FALSE(info.only_boss);
  EXPECT_TRUE(log.messages().empty());
}

TEST_F(Host_Info_Load, OptionalKeysKeepTheirDefaults) {
  const Host_Info fresh;
  EXPECT_EQ(fresh.port, 80);
  EXPECT_FALSE(fresh.ssl);
  EXPECT_TRUE(fresh.only_boss);

  for (const char* key : {"port", "ssl", "only_boss"})
    obj().erase(key);
  Host_Info absent;
  ASSERT_TRUE(absent.load(settings));
  EXPECT_EQ(absent.port, 80);
  EXPECT_FALSE(absent.ssl);
  EXPECT_TRUE(absent.only_boss);

  // "only_boss" of another kind is ignored ("ssl" and "port" are refused below).
  obj()["only_boss"] = "false";
  Host_Info mistyped;
  ASSERT_TRUE(mistyped.load(settings));
  EXPECT_TRUE(mistyped.only_boss);
  EXPECT_TRUE(log.messages().empty());
}

TEST_F(Host_Info_Load, RefusesMalformedSettings) {
  const Value pristine = settings;
  struct Case {
    const char* what;
    void (*damage)(Object&);
    const char* message;
  } cases[] = {
      {"no secret", [](Object& o) { o.erase("secret_access_key"); },
       "Invalid qingcloud host info format, exception: key 'secret_access_key' not found.\n"},
      {"numeric access key", [](Object& o) { o["access_key"] = 12345; },
       "Invalid qingcloud host info format, exception: key 'access_key': value is integer, not "
       "string.\n"},
      {"a blank in a host", [](Object& o) { o["boss_host"] = "boss .example.com"; },
       "Invalid qingcloud host info format, exception: Attribute 'boss_host' is not a host "
       "name.\n"},
      {"a NUL byte in a host",
       [](Object& o) { o["api_host"] = std::string("api.example.com\0evil", 20); },
       "Invalid qingcloud host info format, exception: Attribute 'api_host' is not a host "
       "name.\n"},
      {"a URL for a host", [](Object& o) { o["api_host"] = "user@api.example.com/x"; },
       "Invalid qingcloud host info format, exception: Attribute 'api_host' is not a host "
       "name.\n"},
      {"no host", [](Object& o) { o["boss_host"] = ""; },
       "Invalid qingcloud host info format, exception: Attribute 'boss_host' is not a host "
       "name.\n"},
      // A typo in the TLS flag or the port must not quietly mean plain HTTP on 80.
      {"ssl as text", [](Object& o) { o["ssl"] = "true"; },
       "Invalid qingcloud host info format, exception: key 'ssl': value is string, not bool.\n"},
      {"ssl as number", [](Object& o) { o["ssl"] = 1; },
       "Invalid qingcloud host info format, exception: key 'ssl': value is integer, not bool.\n"},
      {"ssl null", [](Object& o) { o["ssl"] = Value(); },
       "Invalid qingcloud host info format, exception: key 'ssl': value is null, not bool.\n"},
      {"port as text", [](Object& o) { o["port"] = "443"; },
       "Invalid qingcloud host info format, exception: key 'port': value is string, not "
       "integer.\n"},
      {"port as real", [](Object& o) { o["port"] = 443.0; },
       "Invalid qingcloud host info format, exception: key 'port': value is real, not "
       "integer.\n"},
  };
  for (const Case& c : cases) {
    settings = pristine;
    c.damage(obj());
    log.clear();
    Host_Info info;
    EXPECT_FALSE(info.load(settings)) << c.what;
    EXPECT_EQ(log.messages(), std::vector<std::string>{c.message}) << c.what;
    EXPECT_TRUE(info.access_key.empty()) << c.what;
    EXPECT_TRUE(info.secret_access_key.empty()) << c.what;
  }

  log.clear();
  Host_Info info;
  EXPECT_FALSE(info.load(json_value(std::string("[") + SETTINGS + "]")));
  EXPECT_FALSE(info.load(Value("boss.sh1b.example.com")));
  EXPECT_EQ(log.messages(),
            (std::vector<std::string>{
                "Invalid qingcloud host info format, exception: value is array, not object.\n",
                "Invalid qingcloud host info format, exception: value is string, not object.\n"}));
}

TEST_F(Host_Info_Load, KeepsWhatWasReadBeforeAFault) {
  obj().erase("api_host");
  Host_Info info;
  info.access_key = "old-key";
  EXPECT_FALSE(info.load(settings));
  EXPECT_EQ(info.version, "5.1.1");
  EXPECT_EQ(info.boss_host, "boss.sh1b.example.com");
  EXPECT_EQ(info.api_host, "");
  EXPECT_EQ(info.port, 80);
  EXPECT_EQ(info.access_key, "old-key");
}

// A port that is no TCP port is refused rather than cut to its low 16 bits
// (65616 would otherwise become 80).
TEST_F(Host_Info_Load, RefusesPortsOutsideTheTCPRange) {
  struct Case {
    Value port;
    const char* message;
  } cases[] = {
      {Value(65616),
       "Invalid qingcloud host info format, exception: Attribute 'port' is 65616, not a TCP port "
       "from 1 to 65535.\n"},
      {Value(0),
       "Invalid qingcloud host info format, exception: Attribute 'port' is 0, not a TCP port "
       "from 1 to 65535.\n"},
      {Value(-443),
       "Invalid qingcloud host info format, exception: Attribute 'port' is -443, not a TCP port "
       "from 1 to 65535.\n"},
      {Value(std::uint64_t{18446744073709486160u}),
       "Invalid qingcloud host info format, exception: Attribute 'port' is 18446744073709486160, "
       "not a TCP port from 1 to 65535.\n"},
  };
  for (const Case& c : cases) {
    obj()["port"] = c.port;
    log.clear();
    Host_Info info;
    EXPECT_FALSE(info.load(settings));
    EXPECT_EQ(info.port, 80);
    EXPECT_EQ(log.messages(), std::vector<std::string>{c.message});
  }
  for (int port : {1, 80, 8443, 65535}) {
    obj()["port"] = port;
    Host_Info info;
    ASSERT_TRUE(info.load(settings)) << port;
    EXPECT_EQ(info.port, port);
  }
}

TEST_F(Host_Info_Load, DumpWritesAllEightKeysAndLoadsBack) {
  Host_Info info;
  ASSERT_TRUE(info.load(settings));
  const Object dumped = info.dump();
  EXPECT_EQ(Value(dumped), settings);
  EXPECT_EQ(dumped.at("access_key").type(), json_spirit::str_type);
  EXPECT_EQ(dumped.at("secret_access_key").type(), json_spirit::str_type);

  EXPECT_EQ(Value(Host_Info().dump()), json_value(R"({"version": "", "boss_host": "",
    "api_host": "", "port": 80, "ssl": false, "access_key": "", "secret_access_key": "",
    "only_boss": true})"));
}

TEST(Supported_Version, AdmitsOnlyListedReleases) {
  EXPECT_TRUE(is_supported_version("5.1.1"));
  EXPECT_TRUE(is_supported_version("5.01.1"));
  for (const char* version : {"5.1.0", "6.1.1", "5.1", "5.1.1.1", "abc", "", "5.1.1 ", "v5.1.1"})
    EXPECT_FALSE(is_supported_version(version)) << version;
}

TEST(List_Names, MapExactNamesToTheirEnumerators) {
  EXPECT_EQ(list_name_to_view("recovery"), VIEW_RECOVERY);
  EXPECT_EQ(list_name_to_view("hosts"), VIEW_HOST);
  EXPECT_EQ(list_name_to_view("vms"), VIEW_INSTANCE);
  EXPECT_EQ(list_name_to_type(""), TYPE_TOP);
  EXPECT_EQ(list_name_to_type("Zone"), TYPE_ZONE);
  EXPECT_EQ(list_name_to_type("HostSystem"), TYPE_HOST);
  EXPECT_EQ(list_name_to_type("VirtualMachine"), TYPE_INSTANCE);
  EXPECT_EQ(list_name_to_type("User"), TYPE_USER);
  EXPECT_EQ(list_name_to_type("Vxnet"), TYPE_VXNET);

  for (const char* name : {"", "VMS", "vm", "vmss", "host"})
    EXPECT_EQ(list_name_to_view(name), VIEW_UNKNOWN) << name;
  EXPECT_EQ(list_name_to_view(nullptr), VIEW_UNKNOWN);
  for (const char* name : {"zone", "Zones", "Zon", " Zone", "Host"})
    EXPECT_EQ(list_name_to_type(name), TYPE_UNKNOWN) << name;
  EXPECT_EQ(list_name_to_type(nullptr), TYPE_UNKNOWN);
}

// As the backup console walks the tree: hosts open to their instances and
// instances to their disks, but not in the recovery view, where a zone's
// hosts are where it stops and users open to their networks.
TEST(List_Names, ClientsExpandWhatTheConsoleOpens) {
  const struct {
    List_View view;
    std::vector<List_Type> expanded;
  } cases[] = {
      {VIEW_HOST, {TYPE_ZONE, TYPE_HOST, TYPE_INSTANCE}},
      {VIEW_INSTANCE, {TYPE_ZONE, TYPE_INSTANCE}},
      {VIEW_RECOVERY, {TYPE_ZONE, TYPE_USER}},
      {VIEW_UNKNOWN, {}},
  };
  for (const auto& c : cases) {
    for (List_Type type :
         {TYPE_TOP, TYPE_ZONE, TYPE_HOST, TYPE_INSTANCE, TYPE_USER, TYPE_VXNET, TYPE_UNKNOWN}) {
      const bool expected =
          std::find(c.expanded.begin(), c.expanded.end(), type) != c.expanded.end();
      EXPECT_EQ(client_expands(c.view, type), expected) << c.view << " " << type;
    }
  }
}

}  // namespace
}  // namespace qingcloud
