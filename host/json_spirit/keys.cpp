// The process-wide table of member names (see detail::make_key).
#include <atomic>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <new>

#include "host/json_spirit/value.h"

namespace json_spirit::detail {
namespace {

// A platform's replies use a few hundred names; the room is for those and for
// the host's own, while a stream of made-up names (a hostile peer, a fuzzer)
// cannot make the table grow without bound.
constexpr std::size_t MAX_KEPT = 4096;
constexpr std::size_t MAX_KEPT_LENGTH = 64;
constexpr std::size_t INDEX_SIZE = 2 * MAX_KEPT;  // a power of two, never more than half full
static_assert((INDEX_SIZE & (INDEX_SIZE - 1)) == 0 && MAX_KEPT < 0xFFFF);

// The kept names are built in place and never destroyed, so that they
// outlive every object, static ones included; all of this is constant
// initialized, so objects made by other static constructors may use it.
alignas(std::string) unsigned char kept_storage[MAX_KEPT * sizeof(std::string)];
// Each used entry holds the name's slot + 1 in its low 16 bits and 16 bits
// of its hash above.  Entries are published with release and read with
// acquire, so finding a name takes no lock; adding one takes kept_mutex.
std::atomic<std::uint32_t> kept_index[INDEX_SIZE];
std::mutex kept_mutex;
std::size_t kept_count = 0;  // guarded by kept_mutex

std::uint64_t hash(std::string_view s) noexcept {
  std::uint64_t h = 0x9E3779B97F4A7C15ull ^ s.size();
  const char* p = s.data();
  std::size_t n = s.size();
  for (; n >= 8; p += 8, n -= 8) {
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    h = (h ^ w) * 0xBF58476D1CE4E5B9ull;
    h ^= h >> 31;
  }
  if (n > 0) {
    std::uint64_t w = 0;
    std::memcpy(&w, p, n);
    h = (h ^ w) * 0x94D049BB133111EBull;
    h ^= h >> 29;
  }
  h *= 0xFF51AFD7ED558CCDull;
  return h ^ (h >> 32);
}

const std::string* slot(std::uint32_t entry) noexcept {
  const std::size_t index = (entry & 0xFFFF) - 1;
  return std::launder(reinterpret_cast<const std::string*>(kept_storage) + index);
}

// The kept name of `s`, or null; `at` is left at the free entry that ended
// the search.
const std::string* find(std::string_view s, std::uint64_t h, std::size_t& at) noexcept {
  const std::uint32_t tag = static_cast<std::uint32_t>(h >> 48);
  for (at = h & (INDEX_SIZE - 1);; at = (at + 1) & (INDEX_SIZE - 1)) {
    const std::uint32_t entry = kept_index[at].load(std::memory_order_acquire);
    if (entry == 0) return nullptr;
    if ((entry >> 16) == tag) {
      const std::string* key = slot(entry);
      if (*key == s) return key;
    }
  }
}

}  // namespace

const void* const kept_keys_begin = kept_storage;
const void* const kept_keys_end = kept_storage + sizeof kept_storage;

const std::string* kept_key(std::string_view text) {
  if (text.size() > MAX_KEPT_LENGTH) return nullptr;
  const std::uint64_t h = hash(text);
  std::size_t at = 0;
  if (const std::string* key = find(text, h, at)) return key;
  std::lock_guard<std::mutex> lock(kept_mutex);
  // Another thread may have added it meanwhile.
  if (const std::string* key = find(text, h, at)) return key;
  if (kept_count == MAX_KEPT) return nullptr;
  auto* key = new (reinterpret_cast<std::string*>(kept_storage) + kept_count) std::string(text);
  ++kept_count;
  const std::uint32_t entry =
      static_cast<std::uint32_t>(h >> 48) << 16 | static_cast<std::uint32_t>(kept_count);
  kept_index[at].store(entry, std::memory_order_release);
  return key;
}

const std::string* make_key(std::string_view text) {
  // Objects are built with the same few literal names over and over (an
  // inventory node's nine, for every node): the names this thread made last
  // are tried first by where their text lies, before hashing.  The text is
  // compared too, so a reused buffer holding another name is no match.
  struct Recent {
    const char* data = nullptr;
    std::size_t size = 0;
    const std::string* key = nullptr;
  };
  thread_local Recent recent[64];
  Recent& r = recent[(reinterpret_cast<std::uintptr_t>(text.data()) >> 2 ^ text.size()) % 64];
  if (r.data == text.data() && r.size == text.size() && r.key != nullptr &&
      std::memcmp(r.key->data(), text.data(), text.size()) == 0) {
    return r.key;
  }
  if (const std::string* key = kept_key(text)) {
    r = Recent{text.data(), text.size(), key};
    return key;
  }
  return new std::string(text);
}

}  // namespace json_spirit::detail
