#include "tools/agent/request_log.h"

#include <ace/Log_Msg.h>
#include <ace/Log_Record.h>

#include "tools/agent/terminal_text.h"

namespace {

constexpr unsigned long WARNING_AND_ABOVE =
    LM_WARNING | LM_ERROR | LM_CRITICAL | LM_ALERT | LM_EMERGENCY;

}  // namespace

Request_Log::Request_Log() {
  ACE_Log_Msg* log = ACE_LOG_MSG;  // this thread's
  outer_ = log->msg_callback(this);
  // A process-wide flag: threads without a callback are not affected.
  log->set_flags(ACE_Log_Msg::MSG_CALLBACK);
}

Request_Log::~Request_Log() {
  ACE_LOG_MSG->msg_callback(outer_);
}

std::vector<std::string> Request_Log::lines() const {
  return std::vector<std::string>(lines_.begin(), lines_.end());
}

void Request_Log::log(ACE_Log_Record& record) {
  if (outer_) outer_->log(record);
  if ((record.type() & WARNING_AND_ABOVE) == 0) return;
  if (lines_.size() == MAX_LINES) lines_.pop_front();
  lines_.push_back(printable_line(record.msg_data()));
}
