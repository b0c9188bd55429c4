#include "tools/agent/plugin_loader.h"

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

Plugin_Library::~Plugin_Library() {
  if (handle_) dlclose(handle_);
}

bool Plugin_Library::open(const std::string& path) {
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) {
    const char* why = dlerror();
    error_ = why ? why : "dlopen failed";
    return false;
  }
  return true;
}

void* Plugin_Library::symbol(const char* name) {
  if (!handle_) return nullptr;
  dlerror();
  void* sym = dlsym(handle_, name);
  if (!sym) {
    const char* why = dlerror();
    error_ = why ? why : std::string("no symbol ") + name;
  }
  return sym;
}

std::string Plugin_Library::default_path() {
  char exe[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (n <= 0) return "libqingcloud.so";
  std::string dir(exe, static_cast<std::size_t>(n));
  dir.erase(dir.find_last_of('/'));
  // Installed, the plug-in has a folder of its own; in the build tree it
  // lies among the other libraries.
  const std::string installed = dir + "/../lib/qingcloud-agent/plugins/libqingcloud.so";
  if (::access(installed.c_str(), F_OK) == 0) return installed;
  return dir + "/../lib/libqingcloud.so";
}
