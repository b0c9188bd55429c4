#pragma once

#include <exception>
#include <string>

#include "testing/canary.h"

namespace testing_support {

// The what() text of the std::exception that `f` throws, or "no exception".
template <class F>
std::string exception_text(F&& f) {
  try {
    f();
  } catch (const std::exception& e) {
    expect_no_canary(e.what(), "exception text");
    return e.what();
  }
  return "no exception";
}

}  // namespace testing_support
