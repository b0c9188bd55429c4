# Writes OUT, a C++ source that holds the console's files as strings:
#   cmake -DSRC=<console folder> -DOUT=<file> -P embed.cmake
set(text "// Made from tools/agent/console/ by embed.cmake; do not edit.\n")
string(APPEND text "#include \"tools/agent/console_assets.h\"\n\n")
foreach(pair "index.html;console_index_html" "console.css;console_css" "console.js;console_js"
             "tree.js;console_tree_js" "inventory.js;console_inventory_js")
  list(GET pair 0 file)
  list(GET pair 1 function)
  file(READ ${SRC}/${file} content)
  string(FIND "${content}" ")QCASSET\"" clash)
  if(NOT clash EQUAL -1)
    message(FATAL_ERROR "${file} holds the closing delimiter of the raw string")
  endif()
  string(APPEND text "const std::string& ${function}() {\n"
                     "  static const std::string text = R\"QCASSET(${content})QCASSET\";\n"
                     "  return text;\n}\n\n")
endforeach()
file(WRITE ${OUT} "${text}")
