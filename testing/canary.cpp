#include "testing/canary.h"

#include <map>
#include <mutex>
#include <set>

#include <gtest/gtest.h>

namespace testing_support {
namespace {

struct Canaries {
  std::mutex mutex;
  std::set<std::string> secrets;
  std::map<int, std::function<std::vector<std::string>()>> sources;
  int next_id = 0;
};

Canaries& canaries() {
  static Canaries* c = new Canaries();  // outlives every static that logs
  return *c;
}

// Too short a secret would match ordinary text.
constexpr std::size_t MIN_CANARY = 6;

}  // namespace

void add_canary(std::string secret) {
  if (secret.size() < MIN_CANARY) return;
  Canaries& c = canaries();
  std::lock_guard<std::mutex> lock(c.mutex);
  c.secrets.insert(std::move(secret));
}

int add_canary_source(std::function<std::vector<std::string>()> source) {
  Canaries& c = canaries();
  std::lock_guard<std::mutex> lock(c.mutex);
  c.sources[++c.next_id] = std::move(source);
  return c.next_id;
}

void remove_canary_source(int id) {
  Canaries& c = canaries();
  std::lock_guard<std::mutex> lock(c.mutex);
  c.sources.erase(id);
}

void expect_no_canary(std::string_view text, const char* what) {
  if (text.empty()) return;
  Canaries& c = canaries();
  std::vector<std::function<std::vector<std::string>()>> sources;
  std::vector<std::string> secrets;
  {
    std::lock_guard<std::mutex> lock(c.mutex);
    secrets.assign(c.secrets.begin(), c.secrets.end());
    for (const auto& [id, source] : c.sources)
      sources.push_back(source);
  }
  // Sources are asked without the lock: they take locks of their own.
  for (const auto& source : sources)
    for (std::string& s : source())
      if (s.size() >= MIN_CANARY) secrets.push_back(std::move(s));
  for (const std::string& secret : secrets) {
    if (text.find(secret) != std::string_view::npos) {
      ADD_FAILURE() << "a secret (" << secret.size() << " characters, starting '"
                    << secret.substr(0, 2) << "') shows in the " << what << ": "
                    << std::string(text.substr(0, 200));
    }
  }
}

}  // namespace testing_support
