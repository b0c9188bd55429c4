#include "host/support/secure_string.h"

#include <cstring>
#include <new>
#include <string.h>
#include <vector>

#include <gtest/gtest.h>

namespace {

// Records, for every block it is given back, whether all its bytes were zero.
std::vector<bool>* released_zeroed = nullptr;

template <class T>
struct Inspecting_Allocator : std::allocator<T> {
  template <class U>
  struct rebind {
    using other = Inspecting_Allocator<U>;
  };
  Inspecting_Allocator() = default;
  template <class U>
  Inspecting_Allocator(const Inspecting_Allocator<U>&) {}

  void deallocate(T* p, std::size_t n) {
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(p);
    bool zero = true;
    for (std::size_t i = 0; i < n * sizeof(T); ++i)
      zero = zero && bytes[i] == 0;
    if (released_zeroed) released_zeroed->push_back(zero);
    std::allocator<T>::deallocate(p, n);
  }
};

using Inspected_String = basic_secure_string<secure_allocator<char, Inspecting_Allocator<char>>>;

const char* const SECRET = "correct-horse-battery-staple-0123456789";

TEST(Secure_String, HeapBlocksAreWipedBeforeRelease) {
  std::vector<bool> zeroed;
  released_zeroed = &zeroed;
  {
    Inspected_String s(SECRET);
    s.append(SECRET);  // grows: the first block is released while the string lives on
    Inspected_String copy = s;
    Inspected_String moved = std::move(copy);
  }
  released_zeroed = nullptr;
  ASSERT_GE(zeroed.size(), 3u);
  for (bool z : zeroed)
    EXPECT_TRUE(z);
}

// Whether the bytes of a destroyed object still hold `text`.
template <class String, class Use>
bool object_keeps(const char* text, Use use) {
  alignas(String) unsigned char storage[sizeof(String)] = {};
  auto* s = new (storage) String(text);
  use(*s);
  s->~String();
  // The object is gone; tell the compiler its bytes are still worth reading.
  asm volatile("" : : "r"(storage) : "memory");
  return memmem(storage, sizeof storage, text, std::strlen(text)) != nullptr ||
         memmem(storage, sizeof storage, text + 8, std::strlen(text) - 8) != nullptr;
}

TEST(Secure_String, NoTextStaysInsideTheObject) {
  // A short secret never lives inside the object ...
  EXPECT_FALSE(object_keeps<secure_string>("short-key-12345", [](secure_string& s) {
    EXPECT_GE(s.capacity(), secure_string::MIN_CAPACITY);
  }));
  // ... so growing it leaves no stale copy there either.
  EXPECT_FALSE(
      object_keeps<secure_string>("SHORTSECRET-XY", [](secure_string& s) { s.append(40, 'x'); }));
  EXPECT_FALSE(object_keeps<secure_string>("SHORTSECRET-XY", [](secure_string& s) {
    s = secure_string("a-much-longer-replacement-secret-text-0123456789");
  }));
  // A plain string shows what the test would catch.
  EXPECT_TRUE(
      object_keeps<std::string>("SHORTSECRET-XY", [](std::string& s) { s.append(40, 'x'); }));
}

TEST(Secure_String, AShortTextAfterAMoveIsWipedByTheDestructor) {
  alignas(secure_string) unsigned char storage[sizeof(secure_string)] = {};
  auto* s = new (storage) secure_string("first-secret");
  secure_string taken(std::move(*s));
  *s = "pin-1234";  // may now be held inside the object
  s->~secure_string();
  asm volatile("" : : "r"(storage) : "memory");
  EXPECT_EQ(memmem(storage, sizeof storage, "pin-1234", 8), nullptr);
}

TEST(Secure_String, BehavesAsAString) {
  secure_string a("abc");
  secure_string b = a;
  b.resize(6, 'x');
  EXPECT_EQ(b, "abcxxx");
  EXPECT_TRUE(a == secure_string("abc"));
  b.assign(1, 'x');
  EXPECT_EQ(b.size(), 1u);
}

TEST(Secure_Memset, WipesAndReturnsThePointer) {
  unsigned char buf[16];
  std::memset(buf, 0xAB, sizeof buf);
  EXPECT_EQ(secure_memset(buf, 0, sizeof buf), buf);
  for (unsigned char c : buf)
    EXPECT_EQ(c, 0);
  secure_memset(buf, 7, 4);
  EXPECT_EQ(buf[3], 7);
  EXPECT_EQ(buf[4], 0);
  EXPECT_EQ(secure_memset(nullptr, 0, 4), nullptr);
}

}  // namespace
