#include "tools/agent/exit_code.h"

#include "tools/agent/terminal_text.h"

int command_fail(const std::string& command, int code, const std::string& line, std::FILE* out) {
  std::fprintf(out, "qingcloud-agent%s%s: %s\n", command.empty() ? "" : " ", command.c_str(),
               printable(line).c_str());
  return code;
}
