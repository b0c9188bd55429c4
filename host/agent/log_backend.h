#pragma once

#include <ace/Log_Msg_Backend.h>

// A place for the records that ACE logs, installed by a Log_Backend_Scope.
class Log_Backend : public ACE_Log_Msg_Backend {
 public:
  int open(const ACE_TCHAR*) override { return 0; }
  int reset() override { return 0; }
  int close() override { return 0; }
};

// While one lives, the records of every thread (ACE's flags are
// process-wide) go to `backend` instead of standard error; the earlier
// backend and flags come back when it goes.  A backend keeps it as its last
// member, so that it is installed once the rest is built and taken out
// before the rest goes.
class Log_Backend_Scope {
 public:
  explicit Log_Backend_Scope(ACE_Log_Msg_Backend* backend);
  ~Log_Backend_Scope();
  Log_Backend_Scope(const Log_Backend_Scope&) = delete;
  Log_Backend_Scope& operator=(const Log_Backend_Scope&) = delete;

 private:
  ACE_Log_Msg_Backend* previous_backend_;
  unsigned long previous_flags_;
};
