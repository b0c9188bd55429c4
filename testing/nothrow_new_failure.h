#pragma once

namespace testing_support {

// While one lives, the non-throwing `new` of this program fails (returns null)
// instead of allocating, so tests can reach the out-of-memory paths.
class Nothrow_New_Failure {
 public:
  Nothrow_New_Failure();
  ~Nothrow_New_Failure();
  Nothrow_New_Failure(const Nothrow_New_Failure&) = delete;
  Nothrow_New_Failure& operator=(const Nothrow_New_Failure&) = delete;
};

}  // namespace testing_support
