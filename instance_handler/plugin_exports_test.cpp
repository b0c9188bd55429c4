// The plug-in's dynamic symbol table holds the `_make_` factories and nothing
// else of ours.
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

std::vector<std::string> defined_dynamic_symbols(const std::string& library) {
  std::vector<std::string> names;
  std::string command = "nm -D --defined-only '" + library + "'";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return names;
  char line[1024];
  while (std::fgets(line, sizeof line, pipe)) {
    std::istringstream in(line);
    std::string address, kind, name;
    if (in >> address >> kind >> name) names.push_back(name);
  }
  EXPECT_EQ(pclose(pipe), 0) << command;
  return names;
}

TEST(Plugin_Exports, OnlyTheThreeFactoriesAreVisible) {
  EXPECT_THAT(defined_dynamic_symbols(QINGCLOUD_PLUGIN_PATH),
              ::testing::UnorderedElementsAre("_make_JSON_RPC_QingCloud_List_Handler",
                                              "_make_JSON_RPC_QingCloud_Login_Handler",
                                              "_make_QingCloud_Instance_Handler"));
}

}  // namespace
