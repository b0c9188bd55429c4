#include "tools/agent/line_log.h"

#include <cerrno>
#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include <ace/Log_Msg.h>
#include <ace/Log_Record.h>

#include "tools/agent/terminal_text.h"

namespace {

// The syslog priority of an ACE priority.  Nothing is logged above
// "critical": an emergency line would be sent to every terminal.
int syslog_priority(unsigned long type) {
  if (type & (LM_EMERGENCY | LM_ALERT | LM_CRITICAL)) return 2;
  if (type & LM_ERROR) return 3;
  if (type & LM_WARNING) return 4;
  if (type & (LM_NOTICE | LM_STARTUP | LM_SHUTDOWN)) return 5;
  if (type & LM_INFO) return 6;
  return 7;
}

}  // namespace

bool is_journal_stream(int fd, const char* journal_stream) {
  if (!journal_stream) return false;
  unsigned long long device = 0, inode = 0;
  char rest = 0;
  if (std::sscanf(journal_stream, "%llu:%llu%c", &device, &inode, &rest) != 2) return false;
  struct stat st;
  if (::fstat(fd, &st) != 0) return false;
  return st.st_dev == device && st.st_ino == inode;
}

Line_Log::Line_Log(int fd, bool journal) : fd_(fd), journal_(journal) {}

ssize_t Line_Log::log(ACE_Log_Record& record) {
  std::string line;
  if (journal_) line = "<" + std::to_string(syslog_priority(record.type())) + ">";
  line += printable_line(record.msg_data());
  line += '\n';
  // One write a line, so that lines of several threads do not mix.
  for (std::size_t done = 0; done < line.size();) {
    const ssize_t n = ::write(fd_, line.data() + done, line.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return -1;  // nowhere left to tell of it
    done += static_cast<std::size_t>(n);
  }
  return static_cast<ssize_t>(line.size());
}
