#pragma once

#include <string>
#include <vector>

#include <ace/Log_Msg_Backend.h>

// While one lives, the lines that ACE logs are kept here instead of printed,
// so that a command can tell what went wrong in one line of its own.  The
// earlier log backend and flags come back when it goes.
class Log_Lines : public ACE_Log_Msg_Backend {
 public:
  Log_Lines();
  ~Log_Lines() override;
  Log_Lines(const Log_Lines&) = delete;
  Log_Lines& operator=(const Log_Lines&) = delete;

  // The first line logged, without its "file:line: " and final ".\n"; empty
  // when nothing was logged.
  std::string first() const;

  int open(const ACE_TCHAR*) override { return 0; }
  int reset() override { return 0; }
  int close() override { return 0; }
  ssize_t log(ACE_Log_Record& record) override;

 private:
  std::vector<std::string> lines_;
  ACE_Log_Msg_Backend* previous_backend_;
  unsigned long previous_flags_;
};
