#pragma once

#include <utility>

#include "numeric/ivector.h"
#include "numeric/runtime_error.h"

namespace refloom {

namespace detail {

// Quicksort with median-of-three partitioning, no recursion and a fixed
// stack of pending ranges; ranges shorter than the threshold are finished by
// straight insertion. Positions count from 1: values[0] is element 1.
template <typename T>
void sort_with_stack(unsigned long n, T* values, long stack_size) {
  constexpr long kInsertionThreshold = 7;
  auto a = [values](long k) -> T& { return values[k - 1]; };

  long l = 1;
  long r = static_cast<long>(n);
  long s = 0;
  IVector stack = ivector(1, stack_size);
  for (;;) {
    if (r - l < kInsertionThreshold) {
      for (long j = l + 1; j <= r; ++j) {
        T v = a(j);
        long i = j - 1;
        for (; i >= 1; --i) {
          if (!(a(i) > v)) break;
          a(i + 1) = a(i);
        }
        a(i + 1) = v;
      }
      if (s == 0) return;
      r = stack[s];
      l = stack[s - 1];
      s -= 2;
    } else {
      const long k = (l + r) / 2;
      std::swap(a(k), a(l + 1));
      if (a(l + 1) > a(r)) std::swap(a(l + 1), a(r));
      if (a(l) > a(r)) std::swap(a(l), a(r));
      if (a(l + 1) > a(l)) std::swap(a(l + 1), a(l));
      long i = l + 1;
      long j = r;
      const T pivot = a(l);
      for (;;) {
        do ++i; while (a(i) < pivot);
        do --j; while (a(j) > pivot);
        if (j < i) break;
        std::swap(a(i), a(j));
      }
      a(l) = a(j);
      a(j) = pivot;
      if (s + 2 > stack_size) runtime_error_exit("NSTACK too small in sort.");
      // Push the larger part and sort the smaller one next, so the stack
      // stays shallow.
      if (r - i + 1 >= j - l) {
        stack[s + 2] = r;
        stack[s + 1] = i;
        r = j - 1;
      } else {
        stack[s + 2] = j - 1;
        stack[s + 1] = l;
        l = i;
      }
      s += 2;
    }
  }
}

}  // namespace detail

inline constexpr long NSTACK = 50;

// Sorts the n values (n >= 1) that start at `values` into ascending order.
// The numeric routines count positions from 1, so values[0] is element 1.
// Used with float as the numeric library always was, and with exact
// integers where identifiers must not be rounded.
template <typename T>
void sort(unsigned long n, T* values) {
  detail::sort_with_stack(n, values, NSTACK);
}

}  // namespace refloom
