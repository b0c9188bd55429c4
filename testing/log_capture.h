#pragma once

#include <mutex>
#include <string>
#include <vector>

#include <ace/Log_Msg_Backend.h>
#include <ace/Log_Priority.h>

namespace testing_support {

// Captures every line logged through ACE by any thread of the process while it
// lives, instead of printing it.  One at a time.  When the current test has
// failed, the captured lines are printed as the capture ends.
class Log_Capture : public ACE_Log_Msg_Backend {
 public:
  struct Entry {
    ACE_Log_Priority priority;
    std::string text;     // the whole line as formatted
    std::string message;  // the line without its leading "file:line: "
  };

  Log_Capture();
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

  int open(const ACE_TCHAR*) override { return 0; }
  int reset() override { return 0; }
  int close() override { return 0; }
  ssize_t log(ACE_Log_Record& record) override;

 private:
  mutable std::mutex mutex_;
  std::vector<Entry> entries_;
  ACE_Log_Msg_Backend* previous_backend_;
  unsigned long previous_flags_;
};

// Strips a leading "file:line: " location from a log line.
std::string strip_location(const std::string& text);

}  // namespace testing_support
