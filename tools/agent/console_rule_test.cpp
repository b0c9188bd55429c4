// The console opens the nodes that the host program's walks expand: its
// script's table of them says what client_expands says.
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "common/host_info.h"

namespace {

// The script's OPENS table: view name to the node types it opens.
std::map<std::string, std::set<std::string>> console_table() {
  std::ifstream in("tools/agent/console/inventory.js");
  const std::string script((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::size_t start = script.find("const OPENS = {");
  const std::size_t end = script.find("};", start);
  std::map<std::string, std::set<std::string>> table;
  if (start == std::string::npos || end == std::string::npos) return table;
  const std::string body = script.substr(start, end - start);
  const std::regex row(R"((\w+): \[([^\]]*)\])"), type(R"('(\w+)')");
  for (std::sregex_iterator r(body.begin(), body.end(), row), none; r != none; ++r) {
    const std::string types = (*r)[2];
    std::set<std::string>& opened = table[(*r)[1]];
    for (std::sregex_iterator t(types.begin(), types.end(), type); t != none; ++t)
      opened.insert((*t)[1]);
  }
  return table;
}

TEST(Console_Rule, TheConsoleOpensWhatTheHostExpands) {
  const std::map<std::string, std::set<std::string>> table = console_table();
  ASSERT_EQ(table.size(), 3u) << "no OPENS table of three views in inventory.js";
  for (const char* view : {"hosts", "vms", "recovery"}) {
    for (const char* type : {"Zone", "HostSystem", "VirtualMachine", "User", "Vxnet"}) {
      const bool console = table.at(view).count(type) != 0;
      EXPECT_EQ(console, qingcloud::client_expands(qingcloud::list_name_to_view(view),
                                                   qingcloud::list_name_to_type(type)))
          << view << " " << type;
    }
  }
}

}  // namespace
