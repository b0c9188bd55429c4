#pragma once

#include <cstddef>
#include <memory>
#include <string>

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
    secure_memset(p, 0, n * sizeof(T));
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

// A string for key ids, secret keys and decrypted secrets.  Heap blocks are
// wiped by the allocator; the destructor also wipes the string's own buffer,
// since short texts live inside the object and never reach the allocator.
template <class Alloc>
class basic_secure_string : public std::basic_string<char, std::char_traits<char>, Alloc> {
  using base = std::basic_string<char, std::char_traits<char>, Alloc>;

 public:
  using base::base;
  basic_secure_string() noexcept = default;
  basic_secure_string(const basic_secure_string&) = default;
  basic_secure_string(basic_secure_string&&) noexcept = default;
  basic_secure_string& operator=(const basic_secure_string&) = default;
  basic_secure_string& operator=(basic_secure_string&&) = default;
  using base::operator=;

  ~basic_secure_string() { secure_memset(base::data(), 0, base::capacity()); }
};

using secure_string = basic_secure_string<secure_allocator<char>>;
