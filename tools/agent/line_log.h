#pragma once

#include <ace/Log_Msg_Backend.h>

// Whether `fd` is the stream that systemd connected to its journal: it names
// that stream's device and inode in $JOURNAL_STREAM ("DEV:INO").
// `journal_stream` is that variable's value, or null.
bool is_journal_stream(int fd, const char* journal_stream);

// While one lives, every record that ACE logs is written to `fd` as one line,
// its line breaks and other control characters escaped, so that a log
// reader sees one event a line.  For the journal (`journal`) a line starts
// with the priority prefix ("<3>") that the journal files it under.  The
// earlier log backend and flags come back when it goes.
class Line_Log : public ACE_Log_Msg_Backend {
 public:
  Line_Log(int fd, bool journal);
  ~Line_Log() override;
  Line_Log(const Line_Log&) = delete;
  Line_Log& operator=(const Line_Log&) = delete;

  int open(const ACE_TCHAR*) override { return 0; }
  int reset() override { return 0; }
  int close() override { return 0; }
  ssize_t log(ACE_Log_Record& record) override;

 private:
  int fd_;
  bool journal_;
  ACE_Log_Msg_Backend* previous_backend_;
  unsigned long previous_flags_;
};
