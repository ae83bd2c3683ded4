#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "killer_adversary.h"
#include "numeric/ivector.h"
#include "numeric/runtime_error.h"
#include "numeric/sort.h"

namespace refloom {
namespace {

template <typename T>
void expect_sorts(std::vector<T> values) {
  std::vector<T> expected = values;
  std::sort(expected.begin(), expected.end());
  sort(values.size(), values.data());
  EXPECT_EQ(values, expected);
}

TEST(Sort, SingleElementStays) {
  float value = 3.5F;
  sort(1, &value);
  EXPECT_EQ(value, 3.5F);
}

TEST(Sort, InsertionAndPartitionSizes) {
  // 7 elements are finished by insertion alone, 8 are partitioned first.
  expect_sorts<float>({7, 6, 5, 4, 3, 2, 1});
  expect_sorts<float>({8, 1, 7, 2, 6, 3, 5, 4});
  expect_sorts<float>({2, 1});
}

TEST(Sort, SortedReversedAndEqualRuns) {
  std::vector<float> ascending(1000);
  for (std::size_t i = 0; i < ascending.size(); ++i) ascending[i] = static_cast<float>(i);
  expect_sorts(ascending);
  std::vector<float> descending(ascending.rbegin(), ascending.rend());
  expect_sorts(descending);
  expect_sorts(std::vector<float>(1000, 42.0F));
}

TEST(Sort, RandomArraysOfManySizes) {
  std::mt19937 rng(7);
  for (std::size_t n : {3U, 9U, 15U, 16U, 17U, 100U, 1001U, 65536U}) {
    std::vector<float> floats(n);
    std::vector<std::uint64_t> ids(n);
    for (std::size_t i = 0; i < n; ++i) {
      floats[i] = static_cast<float>(rng() % 500);  // many duplicates
      ids[i] = (static_cast<std::uint64_t>(rng()) << 32) | rng();
    }
    expect_sorts(floats);
    expect_sorts(ids);
  }
}

TEST(Sort, DoesNotTouchOutsideTheArray) {
  std::vector<float> values = {99, 5, 4, 3, 2, 1, 0, -1, -2, 99};
  sort(8, values.data() + 1);
  EXPECT_EQ(values.front(), 99);
  EXPECT_EQ(values.back(), 99);
  EXPECT_TRUE(std::is_sorted(values.begin() + 1, values.end() - 1));
}

// A value that counts how often it is compared.
struct Counted {
  std::uint64_t value;
  static inline std::uint64_t comparisons = 0;
  friend bool operator<(const Counted& x, const Counted& y) { return ++comparisons, x.value < y.value; }
  friend bool operator>(const Counted& x, const Counted& y) { return ++comparisons, x.value > y.value; }
};

std::uint64_t comparisons_to_sort(const std::vector<std::uint64_t>& order, long max_depth) {
  std::vector<Counted> values;
  for (std::uint64_t v : order) values.push_back({v});
  Counted::comparisons = 0;
  detail::sort_with_stack(values.size(), values.data(), NSTACK, max_depth);
  for (std::size_t i = 0; i < values.size(); ++i) EXPECT_EQ(values[i].value, i);
  return Counted::comparisons;
}

TEST(Sort, KillerAdversaryOrderCannotMakeItQuadratic) {
  constexpr std::size_t n = 20000;
  // The order that drives plain median-of-three quicksort to its worst case.
  bench::KillerAdversary adversary(n);
  auto items = adversary.items();
  detail::sort_with_stack(n, items.data(), NSTACK, std::numeric_limits<long>::max());
  const std::vector<std::uint64_t> order = adversary.input_order();
  // Plain quicksort needs about n squared / 4 comparisons on it ...
  EXPECT_GT(comparisons_to_sort(order, std::numeric_limits<long>::max()), n * n / 8);
  // ... the sort stays within a small multiple of n log n (log2 n is 15 here).
  const std::uint64_t used = comparisons_to_sort(order, detail::depth_limit(n));
  EXPECT_LT(used, 4 * n * 15);
  // And the same through the plain entry point.
  std::vector<std::uint64_t> values = order;
  sort(values.size(), values.data());
  EXPECT_TRUE(std::is_sorted(values.begin(), values.end()));
}

TEST(Sort, OrdinaryOrdersNeverReachTheDepthLimit) {
  // With an unreachable limit and with the real one, the same comparisons:
  // the partitioning path is the one it always was.
  std::mt19937 rng(11);
  for (std::size_t n : {8U, 100U, 5000U, 200000U}) {
    std::vector<std::uint64_t> order(n);
    for (std::size_t i = 0; i < n; ++i) order[i] = i;
    EXPECT_EQ(comparisons_to_sort(order, detail::depth_limit(n)),
              comparisons_to_sort(order, std::numeric_limits<long>::max()));
    std::shuffle(order.begin(), order.end(), rng);
    EXPECT_EQ(comparisons_to_sort(order, detail::depth_limit(n)),
              comparisons_to_sort(order, std::numeric_limits<long>::max()));
  }
}

using SortDeathTest = ::testing::Test;

TEST(SortDeathTest, RuntimeErrorExitPrintsThreeLinesAndExitsWithOne) {
  EXPECT_EXIT(runtime_error_exit("some message"), ::testing::ExitedWithCode(1),
              "^Numerical Recipes run-time error...\nsome message\n...now exiting to system...\n$");
}

TEST(SortDeathTest, TooSmallStackEndsTheProcess) {
  std::vector<float> values(5000);
  for (std::size_t i = 0; i < values.size(); ++i) values[i] = static_cast<float>((i * 7919) % 5000);
  EXPECT_EXIT(detail::sort_with_stack(values.size(), values.data(), 2), ::testing::ExitedWithCode(1),
              "^Numerical Recipes run-time error...\nNSTACK too small in sort.\n...now exiting to system...\n$");
}

TEST(SortDeathTest, IvectorAllocationFailureEndsTheProcess) {
  EXPECT_EXIT(ivector(1, 0x7fffffffffffffffL), ::testing::ExitedWithCode(1),
              "^Numerical Recipes run-time error...\nallocation failure in ivector\\(\\)\n"
              "...now exiting to system...\n$");
}

TEST(Ivector, AddressesItsOwnBounds) {
  IVector v = ivector(1, 50);
  v[1] = 10;
  v[50] = 20;
  EXPECT_EQ(v[1], 10);
  EXPECT_EQ(v[50], 20);
  EXPECT_EQ(v.low(), 1);
  EXPECT_EQ(v.high(), 50);
}

}  // namespace
}  // namespace refloom
