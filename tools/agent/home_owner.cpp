#include "tools/agent/home_owner.h"

#include <cerrno>
#include <cstring>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

bool act_as_home_owner(const std::string& dir, std::string& error) {
  if (::geteuid() != 0) return true;
  struct stat st;
  if (::stat(dir.c_str(), &st) != 0 || st.st_uid == 0) return true;
  const uid_t uid = st.st_uid;
  gid_t gid = st.st_gid;
  // The owner's own groups when it has an account, else none but the folder's.
  const passwd* account = ::getpwuid(uid);
  bool ok = true;
  if (account) {
    gid = account->pw_gid;
    ok = ::initgroups(account->pw_name, gid) == 0;
  } else {
    ok = ::setgroups(0, nullptr) == 0;
  }
  ok = ok && ::setgid(gid) == 0 && ::setuid(uid) == 0;
  // A switch that half worked, or that could be undone, is no switch.
  if (!ok || ::geteuid() != uid || ::getegid() != gid || ::setuid(0) == 0) {
    error = "cannot act as the owner (uid " + std::to_string(uid) + ") of " + dir + ": " +
            std::strerror(errno);
    return false;
  }
  return true;
}
