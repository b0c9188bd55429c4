#pragma once

#include <mutex>
#include <string>
#include <vector>

#include <ace/Log_Priority.h>

#include "host/agent/log_backend.h"

namespace testing_support {

// Captures every line logged through ACE by any thread of the process while it
// lives, instead of printing it.  One at a time.  When the current test has
// failed, the captured lines are printed as the capture ends.
class Log_Capture : public Log_Backend {
 public:
  struct Entry {
    ACE_Log_Priority priority;
    std::string text;     // the whole line as formatted
    std::string message;  // the line without its leading "file:line: "
  };

  Log_Capture() = default;
  ~Log_Capture() override;

  std::vector<Entry> entries() const;
  // The messages in the order logged.
  std::vector<std::string> messages() const;
  // The messages logged at error priority, where failures are logged.
  std::vector<std::string> errors() const;
  // True when exactly this message (without location) was logged.
  bool has(const std::string& message) const;
  // The same, at error priority.
  bool has_error(const std::string& message) const;
  // How often exactly this message was logged.
  std::size_t count(const std::string& message) const;
  // True when an "Unexpected error in <file>:<line>, <what>:\n<trace>" line
  // was logged at emergency priority.
  bool has_unexpected(const std::string& what) const;
  void clear();

  ssize_t log(ACE_Log_Record& record) override;

 private:
  mutable std::mutex mutex_;
  std::vector<Entry> entries_;
  Log_Backend_Scope scope_{this};
};

// Strips a leading "file:line: " location from a log line.
std::string strip_location(const std::string& text);

}  // namespace testing_support
