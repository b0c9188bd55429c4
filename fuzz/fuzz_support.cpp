#include "fuzz/fuzz_support.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

#include <ace/Log_Msg.h>
#include <ace/Log_Msg_Backend.h>
#include <ace/Log_Record.h>

namespace fuzz_support {
namespace {

// Keeps what is logged, so the fuzzer's own output stays readable and the
// targets can check what a failure logged.
class Log_Sink : public ACE_Log_Msg_Backend {
 public:
  Log_Sink() : echo_(std::getenv("QC_FUZZ_LOG") != nullptr) {
    ACE_Log_Msg::msg_backend(this);
    ACE_Log_Msg* log = ACE_LOG_MSG;
    log->set_flags(ACE_Log_Msg::CUSTOM);
    log->clr_flags(ACE_Log_Msg::STDERR);
  }

  int open(const ACE_TCHAR*) override { return 0; }
  int reset() override { return 0; }
  int close() override { return 0; }
  ssize_t log(ACE_Log_Record& record) override {
    lines_.emplace_back(record.msg_data());
    if (echo_) std::fprintf(stderr, "[log] %s", lines_.back().c_str());
    return 0;
  }

  std::vector<std::string> lines_;

 private:
  bool echo_;
};

// Made once and never destroyed: ACE may still log while the process exits.
Log_Sink& sink() {
  static Log_Sink* const instance = new Log_Sink;
  return *instance;
}

}  // namespace

void fail(const char* file, int line, const char* condition) {
  std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, condition);
  for (const std::string& text : sink().lines_)
    std::fprintf(stderr, "[log] %s", text.c_str());
  std::abort();
}

void clear_log() {
  sink().lines_.clear();
}

const std::vector<std::string>& log_lines() {
  return sink().lines_;
}

bool logged(std::string_view text) {
  for (const std::string& line : sink().lines_) {
    if (line.find(text) != std::string::npos) return true;
  }
  return false;
}

bool is_canary_secret(std::string_view text) {
  if (text.size() < 16) return false;
  for (char c : text) {
    if (!std::isalnum(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

}  // namespace fuzz_support
