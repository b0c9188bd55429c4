#pragma once

#include "host/agent/log_backend.h"

// Whether `fd` is the stream that systemd connected to its journal: it names
// that stream's device and inode in $JOURNAL_STREAM ("DEV:INO").
// `journal_stream` is that variable's value, or null.
bool is_journal_stream(int fd, const char* journal_stream);

// While one lives, every record that ACE logs is written to `fd` as one line,
// its line breaks and other control characters escaped, so that a log
// reader sees one event a line.  For the journal (`journal`) a line starts
// with the priority prefix ("<3>") that the journal files it under.  The
// earlier log backend and flags come back when it goes.
class Line_Log : public Log_Backend {
 public:
  Line_Log(int fd, bool journal);
  Line_Log(const Line_Log&) = delete;
  Line_Log& operator=(const Line_Log&) = delete;

  ssize_t log(ACE_Log_Record& record) override;

 private:
  int fd_;
  bool journal_;
  Log_Backend_Scope scope_{this};
};
