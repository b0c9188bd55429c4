#pragma once

#include <cstddef>

namespace testing_support {

// Out-of-memory paths, reached by making this program's allocations fail.  A
// test program that uses either class has its global `new` and `delete`
// replaced (see nothrow_new_failure.cpp), so the file is compiled into such
// programs alone, not into a library that others (benchmarks) link.

// While one lives, the non-throwing `new` fails (returns null): for every
// size, or only for blocks of `size` bytes, so that one kind of object can be
// refused while the libraries around it (which also allocate without
// throwing) go on working.
class Nothrow_New_Failure {
 public:
  explicit Nothrow_New_Failure(std::size_t size = 0);
  ~Nothrow_New_Failure();
  Nothrow_New_Failure(const Nothrow_New_Failure&) = delete;
  Nothrow_New_Failure& operator=(const Nothrow_New_Failure&) = delete;
};

// The next `count` allocations of the throwing `new` throw std::bad_alloc;
// disarmed when this goes away.
class Allocation_Failure {
 public:
  explicit Allocation_Failure(int count = 1);
  ~Allocation_Failure();
  Allocation_Failure(const Allocation_Failure&) = delete;
  Allocation_Failure& operator=(const Allocation_Failure&) = delete;
};

}  // namespace testing_support
