#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace testing_support {

// Secrets that no log line, exception text, JSON-RPC answer or program
// output of any test may hold: the simulator's secret keys, the secrets the
// stand-in host decrypts, the passwords of new instances.  The test helpers
// that make or see such secrets register them, and the helpers that see
// output check it, so every test of the suite is watched.  Thread-safe.

void add_canary(std::string secret);

// A source of canaries known only later (the passwords a simulator has been
// sent); asked at every check.  Returns an id for `remove_canary_source`.
int add_canary_source(std::function<std::vector<std::string>()> source);
void remove_canary_source(int id);

// Fails the current test when `text` holds a canary; `what` names the text.
void expect_no_canary(std::string_view text, const char* what);

}  // namespace testing_support
