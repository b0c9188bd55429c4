#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>

#include "host/support/secure_memset.h"

// An allocator that wipes every block before it gives it back.  `Base` does the
// real allocation; tests substitute one that inspects the released bytes.
template <class T, class Base = std::allocator<T>>
struct secure_allocator : public Base {
  using value_type = T;
  using base_type = Base;

  template <class U>
  struct rebind {
    using other =
        secure_allocator<U, typename std::allocator_traits<Base>::template rebind_alloc<U>>;
  };

  secure_allocator() noexcept = default;
  template <class U, class B>
  secure_allocator(const secure_allocator<U, B>&) noexcept {}

  T* allocate(std::size_t n) { return std::allocator_traits<Base>::allocate(*this, n); }

  void deallocate(T* p, std::size_t n) noexcept {
    secure_wipe(p, n * sizeof(T));
    std::allocator_traits<Base>::deallocate(*this, p, n);
  }
};

template <class T, class U, class B1, class B2>
bool operator==(const secure_allocator<T, B1>&, const secure_allocator<U, B2>&) noexcept {
  return true;
}
template <class T, class U, class B1, class B2>
bool operator!=(const secure_allocator<T, B1>&, const secure_allocator<U, B2>&) noexcept {
  return false;
}

// A string for key ids, secret keys and decrypted secrets.  Its text always
// lives in a block from the allocator, which wipes every block it releases:
// never inside the object, where a short text would sit and where growing
// the string would leave a stale copy behind.  The destructor wipes the text
// as well, for the rare object whose text did end up inside it (one that was
// moved from and then assigned a short text).
template <class Alloc>
class basic_secure_string : public std::basic_string<char, std::char_traits<char>, Alloc> {
  using base = std::basic_string<char, std::char_traits<char>, Alloc>;

 public:
  using size_type = typename base::size_type;

  // Larger than any text a string can hold inside itself.
  static constexpr size_type MIN_CAPACITY = 31;

  basic_secure_string() { base::reserve(MIN_CAPACITY); }
  basic_secure_string(const char* s) : basic_secure_string() { base::assign(s); }
  basic_secure_string(const char* s, size_type n) : basic_secure_string() { base::assign(s, n); }
  explicit basic_secure_string(std::string_view text) : basic_secure_string() {
    base::assign(text.data(), text.size());
  }
  basic_secure_string(size_type n, char c) : basic_secure_string() { base::assign(n, c); }
  template <class It, class = std::enable_if_t<!std::is_integral_v<It>>>
  basic_secure_string(It first, It last) : basic_secure_string() {
    base::assign(first, last);
  }
  basic_secure_string(const basic_secure_string& other) : basic_secure_string() {
    base::assign(other);
  }
  basic_secure_string(basic_secure_string&& other) noexcept : base(std::move(other)) {}

  basic_secure_string& operator=(const basic_secure_string& other) {
    base::assign(other);
    return *this;
  }
  basic_secure_string& operator=(basic_secure_string&&) = default;
  using base::operator=;

  ~basic_secure_string() { secure_wipe(base::data(), base::capacity()); }
};

using secure_string = basic_secure_string<secure_allocator<char>>;
