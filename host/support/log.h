#pragma once

#include <ace/Log_Msg.h>

// Every failure is logged once, where it is detected, with its source file and
// line.  The format must be a string literal: it is joined to the location.
//
//   QC_LOG_ERROR("Failed to send request to '%s'.\n", url);
//   QC_LOG_UNEXPECTED("zone_ is NULL");
//
// In ACE's format "%N" is the file, "%l" the line, "%?" a stack trace and
// "%m" the text of errno.
#define QC_LOG_ERROR(...) ACE_ERROR((LM_ERROR, "%N:%l: " __VA_ARGS__))

// A broken internal precondition: logged at emergency priority with a trace.
#define QC_LOG_UNEXPECTED(what) \
  ACE_ERROR((LM_EMERGENCY, "Unexpected error in %N:%l, " what ":\n%?\n"))
