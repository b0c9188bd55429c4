#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

namespace testing_support {

// Catches copies of secrets left in freed memory.  While a watch lives,
// every heap block that its thread frees (or grows with realloc) is searched
// for the watched texts just before it goes back to the allocator, that is
// after the code under test had its chance to wipe it.  A test program that
// uses it has `free` and `realloc` replaced (see freed_memory_watch.cpp), so
// the file is compiled into that program alone, not into a library that
// other programs link.
// Other threads, such as an in-process server's, are watched only when
// asked for (`every_thread`); one such watch may live at a time.
//
// Sanitizer builds bring their own allocator, which cannot be replaced:
// there `available` is false and a watch sees nothing.
class Freed_Memory_Watch {
 public:
  explicit Freed_Memory_Watch(std::vector<std::string> texts, bool every_thread = false);
  ~Freed_Memory_Watch();
  Freed_Memory_Watch(const Freed_Memory_Watch&) = delete;
  Freed_Memory_Watch& operator=(const Freed_Memory_Watch&) = delete;

  static bool available() noexcept;

  // One line per freed block that held a watched text: the text and the
  // block's size.
  std::vector<std::string> hits() const;
  void clear_hits();

  // Called by the replaced `free` for every block of the watched thread.
  void inspect(const void* block, std::size_t size) noexcept;

 private:
  std::vector<std::string> texts_;
  const bool every_thread_;
  mutable std::mutex mutex_;
  std::vector<std::string> hits_;
};

}  // namespace testing_support
