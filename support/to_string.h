#pragma once

#include <charconv>
#include <string>
#include <type_traits>

// Decimal text of an integer, with a leading "-" for negatives.
template <class T, std::enable_if_t<std::is_integral_v<T> && !std::is_same_v<T, bool>, int> = 0>
std::string to_string(T n) {
  char buf[24];
  auto res = std::to_chars(buf, buf + sizeof buf, n);
  return std::string(buf, res.ptr);
}
