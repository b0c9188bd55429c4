#include "tools/agent/agent_home.h"

#include <fcntl.h>
#include <fstream>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "testing/program_run.h"
#include "testing/test_host.h"

namespace {

// A home as `open` leaves it: the folder 0700, the test key and an empty
// store 0600.
void make_home(const std::string& home) {
  ASSERT_EQ(::mkdir(home.c_str(), 0700), 0);
  const secure_string& key = testing_support::test_host_key();
  std::ofstream(home + "/host_key.pem") << std::string(key.data(), key.size());
  std::ofstream(home + "/environments.json") << "{}\n";
  ASSERT_EQ(::chmod((home + "/host_key.pem").c_str(), 0600), 0);
  ASSERT_EQ(::chmod((home + "/environments.json").c_str(), 0600), 0);
}

// Like ssh with its keys: a folder that others may write to, or a key or a
// store that others may read, swap or have laid there, is refused with the
// reason.
TEST(Agent_Home, RefusesWhatOthersCouldReadOrSwap) {
  struct Case {
    const char* what;
    std::function<void(const std::string& home)> spoil;
    std::string error;  // the end of the message
  };
  const std::string key = "/host_key.pem", store = "/environments.json";
  std::vector<Case> cases = {
      {"a folder that others may write to", [](const std::string& h) { ::chmod(h.c_str(), 0777); },
       " may be written by group or others (mode 0777); run chmod go-w HOME"},
      {"a key that group may read", [&](const std::string& h) { ::chmod((h + key).c_str(), 0640); },
       key + " is open to group or others (mode 0640); run chmod go-rwx HOME" + key},
      {"a store that others may read",
       [&](const std::string& h) { ::chmod((h + store).c_str(), 0604); },
       store + " is open to group or others (mode 0604); run chmod go-rwx HOME" + store},
      {"a key that is a link",
       [&](const std::string& h) {
         ::rename((h + key).c_str(), (h + "/elsewhere.pem").c_str());
         EXPECT_EQ(::symlink((h + "/elsewhere.pem").c_str(), (h + key).c_str()), 0);
       },
       key + " is a symbolic link; the host reads only its own files"},
      {"a store that is a FIFO, which must not block",
       [&](const std::string& h) {
         ::unlink((h + store).c_str());
         ::mkfifo((h + store).c_str(), 0600);
       },
       store + " is not a regular file"},
  };
  if (::geteuid() == 0) {
    cases.push_back(
        {"a store of another user",
         [&](const std::string& h) { EXPECT_EQ(::chown((h + store).c_str(), 65534, 65534), 0); },
         store + " belongs to uid 65534, not to this user (uid 0)"});
  }
  for (const Case& c : cases) {
    testing_support::Temp_Dir dir;
    const std::string home = dir.path() + "/home";
    make_home(home);
    Agent_Home fine;
    std::string error;
    ASSERT_TRUE(fine.open(home, error)) << error;

    c.spoil(home);
    Agent_Home spoiled;
    EXPECT_FALSE(spoiled.open(home, error)) << c.what;
    std::string expected = c.error;
    for (std::size_t at; (at = expected.find("HOME")) != std::string::npos;)
      expected.replace(at, 4, home);
    EXPECT_EQ(error.substr(error.size() - std::min(error.size(), expected.size())), expected)
        << c.what << ": " << error;
  }
}

// The store is read whole up to its limit: a change that would take it past
// the limit is refused and the store stays as it was, readable.
TEST(Agent_Home, AStoreNeverGrowsPastWhatCanBeReadBack) {
  testing_support::Temp_Dir dir;
  const std::string home = dir.path() + "/home";
  make_home(home);
  Agent_Home small(4096);
  std::string error;
  ASSERT_TRUE(small.open(home, error)) << error;
  const json_spirit::Object settings{{"boss_host", std::string(200, 'b')},
                                     {"api_host", std::string(200, 'a')}};
  int kept = 0;
  while (small.put("env-" + std::to_string(kept), settings, error))
    ++kept;
  ASSERT_GT(kept, 0);
  EXPECT_NE(error.find("/environments.json would grow to "), std::string::npos) << error;
  EXPECT_NE(error.find(" bytes, more than the 4096 it may hold; nothing was changed"),
            std::string::npos)
      << error;
  Agent_Home::Environments envs;
  ASSERT_TRUE(small.environments(envs, error)) << error;
  EXPECT_EQ(envs.size(), static_cast<std::size_t>(kept));
}

}  // namespace
