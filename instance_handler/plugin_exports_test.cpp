// The plug-in's dynamic symbol table holds the `_make_` factories and nothing
// else of ours.
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

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

TEST(Plugin_Exports, OnlyTheFactoriesAreVisible) {
  std::vector<std::string> names = defined_dynamic_symbols(QINGCLOUD_PLUGIN_PATH);
  ASSERT_FALSE(names.empty());
  bool has_instance_factory = false;
  for (const std::string& name : names) {
    EXPECT_EQ(name.rfind("_make_", 0), 0u) << "exported: " << name;
    has_instance_factory = has_instance_factory || name == "_make_QingCloud_Instance_Handler";
  }
  EXPECT_TRUE(has_instance_factory);
}

}  // namespace
