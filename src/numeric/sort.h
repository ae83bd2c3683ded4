#pragma once

#include <array>
#include <limits>
#include <utility>

#include "numeric/ivector.h"
#include "numeric/runtime_error.h"

namespace refloom {

namespace detail {

// Heap sort of elements l to r (1-based accessor `a`): n log n whatever the
// order, for the ranges that partitioning fails to split.
template <typename T, typename Access>
void heap_sort_range(long l, long r, Access a) {
  const long count = r - l + 1;
  auto sift_down = [&](long root, long end) {  // positions 0 .. end-1 relative to l
    for (;;) {
      long child = 2 * root + 1;
      if (child >= end) return;
      if (child + 1 < end && a(l + child) < a(l + child + 1)) ++child;
      if (!(a(l + root) < a(l + child))) return;
      std::swap(a(l + root), a(l + child));
      root = child;
    }
  };
  for (long root = count / 2 - 1; root >= 0; --root) sift_down(root, count);
  for (long end = count - 1; end > 0; --end) {
    std::swap(a(l), a(l + end));
    sift_down(0, end);
  }
}

// The partition depth past which a range is heap sorted instead: twice the
// depth of an even split, which median-of-three partitioning of ordinary
// input stays well within.
inline long depth_limit(unsigned long n) {
  long depth = 0;
  for (unsigned long m = n; m > 1; m >>= 1) ++depth;
  return 2 * depth + 2;
}

// Quicksort with median-of-three partitioning, no recursion and a fixed
// stack of pending ranges; ranges shorter than the threshold are finished by
// straight insertion. A range split more than `max_depth` times over is heap
// sorted, so that no order of the input makes the sort quadratic (nothing
// changes for input that never gets that deep). Positions count from 1:
// values[0] is element 1. At most 64 ranges are ever pending.
template <typename T>
void sort_with_stack(unsigned long n, T* values, long stack_size, long max_depth) {
  constexpr long kInsertionThreshold = 7;
  constexpr long kMaxPending = 64;
  auto a = [values](long k) -> T& { return values[k - 1]; };

  long l = 1;
  long r = static_cast<long>(n);
  long s = 0;
  long depth = 0;
  std::array<long, kMaxPending + 1> pending_depth{};
  if (stack_size > 2 * kMaxPending) stack_size = 2 * kMaxPending;
  IVector stack = ivector(1, stack_size);
  for (;;) {
    if (r - l >= kInsertionThreshold && depth > max_depth) {
      heap_sort_range<T>(l, r, a);
      if (s == 0) return;
      r = stack[s];
      l = stack[s - 1];
      depth = pending_depth[static_cast<std::size_t>(s / 2)];
      s -= 2;
    } else if (r - l < kInsertionThreshold) {
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
      depth = pending_depth[static_cast<std::size_t>(s / 2)];
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
        do ++i;
        while (a(i) < pivot);
        do --j;
        while (a(j) > pivot);
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
      ++depth;
      pending_depth[static_cast<std::size_t>(s / 2)] = depth;
    }
  }
}

template <typename T>
void sort_with_stack(unsigned long n, T* values, long stack_size) {
  sort_with_stack(n, values, stack_size, depth_limit(n));
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
