#pragma once

#include <string>

// The plug-in library, opened with dlopen and closed when this goes away.
class Plugin_Library {
 public:
  Plugin_Library() = default;
  ~Plugin_Library();
  Plugin_Library(const Plugin_Library&) = delete;
  Plugin_Library& operator=(const Plugin_Library&) = delete;

  // Opens the library at `path`; false with the reason in `error()`.
  bool open(const std::string& path);
  // The address of the exported symbol `name`, or null.
  void* symbol(const char* name);
  const std::string& error() const { return error_; }

  // Where the plug-in lies beside this program: installed,
  // <bin>/../lib/qingcloud-agent/plugins/libqingcloud.so; in the build tree,
  // <bin>/../lib/libqingcloud.so.
  static std::string default_path();

 private:
  void* handle_ = nullptr;
  std::string error_;
};
