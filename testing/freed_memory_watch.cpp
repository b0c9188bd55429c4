#include "testing/freed_memory_watch.h"

#include <atomic>
#include <cstring>
#include <malloc.h>
#include <string_view>

namespace testing_support {
namespace {

thread_local Freed_Memory_Watch* watching = nullptr;
std::atomic<Freed_Memory_Watch*> watching_all{nullptr};
// What a watch records allocates and frees too: not inspected again.
thread_local bool inspecting = false;

// While one lives, this thread's frees are not inspected.
class Not_Inspected {
 public:
  Not_Inspected() : was_(inspecting) { inspecting = true; }
  ~Not_Inspected() { inspecting = was_; }

 private:
  bool was_;
};

}  // namespace

// The watch that sees the blocks this thread frees, if any.
Freed_Memory_Watch* watch_of_this_thread() noexcept;
Freed_Memory_Watch* watch_of_this_thread() noexcept {
  return watching != nullptr ? watching : watching_all.load(std::memory_order_acquire);
}

Freed_Memory_Watch::Freed_Memory_Watch(std::vector<std::string> texts, bool every_thread)
    : texts_(std::move(texts)), every_thread_(every_thread) {
  hits_.reserve(64);
  if (every_thread_)
    watching_all.store(this, std::memory_order_release);
  else
    watching = this;
}

Freed_Memory_Watch::~Freed_Memory_Watch() {
  if (every_thread_)
    watching_all.store(nullptr, std::memory_order_release);
  else
    watching = nullptr;
}

std::vector<std::string> Freed_Memory_Watch::hits() const {
  Not_Inspected quiet;
  std::lock_guard<std::mutex> lock(mutex_);
  return hits_;
}

void Freed_Memory_Watch::clear_hits() {
  Not_Inspected quiet;
  std::lock_guard<std::mutex> lock(mutex_);
  hits_.clear();
}

void Freed_Memory_Watch::inspect(const void* block, std::size_t size) noexcept {
  if (inspecting) return;
  Not_Inspected quiet;
  const std::string_view bytes(static_cast<const char*>(block), size);
  for (const std::string& text : texts_) {
    if (!text.empty() && bytes.find(text) != std::string_view::npos) {
      try {
        std::string hit = "'" + text + "' in a freed block of " + std::to_string(size) + " bytes";
        std::lock_guard<std::mutex> lock(mutex_);
        hits_.push_back(std::move(hit));
      } catch (...) {
      }
    }
  }
}

}  // namespace testing_support

#ifdef QC_SANITIZER_BUILD

bool testing_support::Freed_Memory_Watch::available() noexcept {
  return false;
}

#else

bool testing_support::Freed_Memory_Watch::available() noexcept {
  return true;
}

// glibc's own entry points, which the replacements below hand the work to.
extern "C" void __libc_free(void* block);
extern "C" void* __libc_malloc(std::size_t size);
extern "C" void* __libc_realloc(void* block, std::size_t size);

extern "C" void free(void* block) {
  if (block != nullptr) {
    if (testing_support::Freed_Memory_Watch* watch = testing_support::watch_of_this_thread())
      watch->inspect(block, malloc_usable_size(block));
  }
  __libc_free(block);
}

// A watched block that grows is always moved, through the watched `free`, so
// that the copy the move leaves behind is inspected too.
extern "C" void* realloc(void* block, std::size_t size) {
  if (block == nullptr || size == 0 || testing_support::watch_of_this_thread() == nullptr)
    return __libc_realloc(block, size);
  void* moved = __libc_malloc(size);
  if (moved == nullptr) return nullptr;
  const std::size_t usable = malloc_usable_size(block);
  std::memcpy(moved, block, usable < size ? usable : size);
  free(block);
  return moved;
}

#endif
