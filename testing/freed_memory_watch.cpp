#include "testing/freed_memory_watch.h"

#include <cstring>
#include <malloc.h>
#include <string_view>

namespace testing_support {
namespace {

thread_local Freed_Memory_Watch* watching = nullptr;

}  // namespace

Freed_Memory_Watch::Freed_Memory_Watch(std::vector<std::string> texts) : texts_(std::move(texts)) {
  hits_.reserve(64);
  watching = this;
}

Freed_Memory_Watch::~Freed_Memory_Watch() {
  watching = nullptr;
}

std::vector<std::string> Freed_Memory_Watch::hits() const {
  return hits_;
}

void Freed_Memory_Watch::clear_hits() {
  hits_.clear();
}

void Freed_Memory_Watch::inspect(const void* block, std::size_t size) noexcept {
  // What this records allocates and frees too.
  if (inspecting_) return;
  inspecting_ = true;
  const std::string_view bytes(static_cast<const char*>(block), size);
  for (const std::string& text : texts_) {
    if (!text.empty() && bytes.find(text) != std::string_view::npos) {
      try {
        hits_.push_back("'" + text + "' in a freed block of " + std::to_string(size) + " bytes");
      } catch (...) {
      }
    }
  }
  inspecting_ = false;
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
  if (block != nullptr && testing_support::watching != nullptr)
    testing_support::watching->inspect(block, malloc_usable_size(block));
  __libc_free(block);
}

// A watched block that grows is always moved, through the watched `free`, so
// that the copy the move leaves behind is inspected too.
extern "C" void* realloc(void* block, std::size_t size) {
  if (block == nullptr || size == 0 || testing_support::watching == nullptr)
    return __libc_realloc(block, size);
  void* moved = __libc_malloc(size);
  if (moved == nullptr) return nullptr;
  const std::size_t usable = malloc_usable_size(block);
  std::memcpy(moved, block, usable < size ? usable : size);
  free(block);
  return moved;
}

#endif
