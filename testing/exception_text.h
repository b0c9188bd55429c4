#pragma once

#include <exception>
#include <string>

namespace testing_support {

// The what() text of the std::exception that `f` throws, or "no exception".
template <class F>
std::string exception_text(F&& f) {
  try {
    f();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "no exception";
}

}  // namespace testing_support
