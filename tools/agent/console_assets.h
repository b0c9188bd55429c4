#pragma once

#include <string>

// The console's files, compiled into the program (tools/agent/console/).
const std::string& console_index_html();
const std::string& console_css();
const std::string& console_js();
const std::string& console_tree_js();
const std::string& console_inventory_js();
