#include "tools/agent/log_lines.h"

#include <cstdio>

#include <ace/Log_Msg.h>
#include <ace/Log_Record.h>

#include "tools/agent/terminal_text.h"

std::string without_location(const std::string& line) {
  const std::size_t colon = line.find(':');
  if (colon == std::string::npos || line.find(' ') < colon) return line;
  const std::size_t after = line.find(": ", colon + 1);
  if (after == std::string::npos) return line;
  for (std::size_t i = colon + 1; i < after; ++i) {
    if (line[i] < '0' || line[i] > '9') return line;
  }
  return line.substr(after + 2);
}

Log_Lines::Log_Lines(bool echo) : echo_(echo) {}

ssize_t Log_Lines::log(ACE_Log_Record& record) {
  if (echo_) {
    std::string shown = record.msg_data();
    if (!shown.empty() && shown.back() == '\n') shown.pop_back();
    std::fprintf(stderr, "%s\n", printable(shown).c_str());
  }
  std::string line = without_location(record.msg_data());
  std::lock_guard<std::mutex> lock(mutex_);
  if (lines_.size() == MAX_LINES) lines_.pop_front();
  lines_.push_back(std::move(line));
  return 0;
}

std::string Log_Lines::first() const {
  std::unique_lock<std::mutex> lock(mutex_);
  if (lines_.empty()) return std::string();
  std::string line = lines_.front();
  lock.unlock();
  const std::size_t end = line.find('\n');
  if (end != std::string::npos) line.erase(end);
  if (!line.empty() && line.back() == '.') line.pop_back();
  return line;
}

std::size_t Log_Lines::size() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lines_.size();
}
