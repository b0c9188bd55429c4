#pragma once

#include <cstddef>
#include <deque>
#include <mutex>
#include <string>

#include "host/agent/log_backend.h"

// A logged line without its source location: "file.cpp:123: text" ->
// "text"; an emergency line keeps its own form.
std::string without_location(const std::string& line);

// While one lives, the lines that ACE logs are kept here instead of printed,
// so that a command can tell what went wrong in one line of its own.  Only
// the last MAX_LINES lines are kept (ACE cuts each at ACE_MAXLOGMSGLEN), so
// that a process that runs for long (serve) holds no more however much is
// logged.
// With `echo`, each line is also printed on standard error as it comes,
// its control characters escaped.  The earlier log backend and flags come
// back when it goes.  Lines may come from several threads at once.
class Log_Lines : public Log_Backend {
 public:
  static constexpr std::size_t MAX_LINES = 500;

  explicit Log_Lines(bool echo = false);
  Log_Lines(const Log_Lines&) = delete;
  Log_Lines& operator=(const Log_Lines&) = delete;

  // The first line kept, without its "file:line: " and final ".\n"; empty
  // when nothing was logged.
  std::string first() const;
  // How many lines are kept.
  std::size_t size() const;

  ssize_t log(ACE_Log_Record& record) override;

 private:
  const bool echo_;
  mutable std::mutex mutex_;
  std::deque<std::string> lines_;
  Log_Backend_Scope scope_{this};
};
