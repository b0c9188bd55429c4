#include "host/agent/log_backend.h"

#include <ace/Log_Msg.h>

Log_Backend_Scope::Log_Backend_Scope(ACE_Log_Msg_Backend* backend) {
  previous_backend_ = ACE_Log_Msg::msg_backend(backend);
  ACE_Log_Msg* log = ACE_LOG_MSG;
  previous_flags_ = log->flags();
  log->set_flags(ACE_Log_Msg::CUSTOM);
  log->clr_flags(ACE_Log_Msg::STDERR);
}

Log_Backend_Scope::~Log_Backend_Scope() {
  ACE_Log_Msg* log = ACE_LOG_MSG;
  log->clr_flags(ACE_Log_Msg::CUSTOM);
  log->set_flags(previous_flags_);
  ACE_Log_Msg::msg_backend(previous_backend_);
}
