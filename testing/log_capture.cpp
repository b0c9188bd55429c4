#include "testing/log_capture.h"

#include <algorithm>
#include <cstdio>
#include <regex>

#include <ace/Log_Msg.h>
#include <ace/Log_Record.h>
#include <gtest/gtest.h>

#include "testing/canary.h"

namespace testing_support {

std::string strip_location(const std::string& text) {
  static const std::regex location(R"(^[^:\s]+:\d+: )");
  std::smatch m;
  if (std::regex_search(text, m, location)) return m.suffix().str();
  return text;
}

Log_Capture::~Log_Capture() {
  if (::testing::Test::HasFailure()) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const Entry& e : entries_)
      std::fprintf(stderr, "[log] %s", e.text.c_str());
  }
}

ssize_t Log_Capture::log(ACE_Log_Record& record) {
  expect_no_canary(record.msg_data(), "log line");
  Entry e;
  e.priority = static_cast<ACE_Log_Priority>(record.type());
  e.text = record.msg_data();
  e.message = strip_location(e.text);
  if (std::getenv("QC_TEST_LOG")) std::fprintf(stderr, "[log] %s", e.text.c_str());
  std::lock_guard<std::mutex> lock(mutex_);
  entries_.push_back(std::move(e));
  return 0;
}

std::vector<Log_Capture::Entry> Log_Capture::entries() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return entries_;
}

std::vector<std::string> Log_Capture::messages() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::string> out;
  for (const Entry& e : entries_)
    out.push_back(e.message);
  return out;
}

std::vector<std::string> Log_Capture::errors() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::string> out;
  for (const Entry& e : entries_)
    if (e.priority == LM_ERROR) out.push_back(e.message);
  return out;
}

bool Log_Capture::has(const std::string& message) const {
  return count(message) > 0;
}

bool Log_Capture::has_error(const std::string& message) const {
  const std::vector<std::string> logged = errors();
  return std::find(logged.begin(), logged.end(), message) != logged.end();
}

std::size_t Log_Capture::count(const std::string& message) const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::size_t n = 0;
  for (const Entry& e : entries_)
    n += e.message == message;
  return n;
}

bool Log_Capture::has_unexpected(const std::string& what) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const std::string head = "Unexpected error in ";
  const std::string middle = ", " + what + ":\n";
  for (const Entry& e : entries_) {
    if (e.priority == LM_EMERGENCY && e.text.compare(0, head.size(), head) == 0 &&
        e.text.find(middle) != std::string::npos) {
      return true;
    }
  }
  return false;
}

void Log_Capture::clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  entries_.clear();
}

}  // namespace testing_support
