#pragma once

#include <cerrno>
#include <cstring>
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

// Makes a handler with the plug-in's exported factory `factory`, which takes
// the slot for the handler's deleter: the handler and its deleter, or false
// with the problem in `error`.  A handler without a deleter cannot be given
// back: it is left as it is.
template <class Handler, class Deleter>
bool make_handler(Plugin_Library& plugin, const char* factory, Handler*& handler, Deleter& gobble,
                  std::string& error) {
  auto make = reinterpret_cast<Handler* (*)(Deleter*)>(plugin.symbol(factory));
  if (!make) {
    error = std::string("the plug-in has no ") + factory + ": " + plugin.error();
    return false;
  }
  handler = make(&gobble);
  if (!handler) {
    error = std::string(factory) + " failed: " + std::strerror(errno);
    return false;
  }
  if (!gobble) {
    handler = nullptr;
    error = std::string(factory) + " gave no deleter";
    return false;
  }
  return true;
}
