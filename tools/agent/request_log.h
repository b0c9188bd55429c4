#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <vector>

#include <ace/Log_Msg_Callback.h>

// While one lives, what the code on its thread logs at warning level and
// above is kept here too (the last MAX_LINES lines, each as one line with its
// control characters escaped), so that a failure's answer can carry its
// cause.  Lines of other threads are not seen; a Request_Log made inside
// another passes its lines on to the outer one as well.  Thread-bound: made
// and destroyed on one thread.
class Request_Log : public ACE_Log_Msg_Callback {
 public:
  static constexpr std::size_t MAX_LINES = 20;

  Request_Log();
  ~Request_Log() override;
  Request_Log(const Request_Log&) = delete;
  Request_Log& operator=(const Request_Log&) = delete;

  std::vector<std::string> lines() const;

  void log(ACE_Log_Record& record) override;

 private:
  ACE_Log_Msg_Callback* outer_;
  std::deque<std::string> lines_;
};
