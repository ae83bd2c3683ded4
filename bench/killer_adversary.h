#pragma once

// McIlroy's "killer adversary" for quicksort (A Killer Adversary for
// Quicksort, Software: Practice and Experience 29(4), 1999): the values are
// decided only as the sort compares them, always so that the pivot
// candidate turns out to be among the smallest. Running a sort on it once
// gives an input order that drives that sort to its worst case.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace refloom::bench {

class KillerAdversary {
 public:
  // An element of the array being sorted: its position in the input.
  struct Item {
    std::size_t index;
    KillerAdversary* adversary;
    friend bool operator<(const Item& x, const Item& y) { return x.adversary->compare(x.index, y.index) < 0; }
    friend bool operator>(const Item& x, const Item& y) { return x.adversary->compare(x.index, y.index) > 0; }
  };

  explicit KillerAdversary(std::size_t n) : value_(n, kGas) {}

  std::vector<Item> items() {
    std::vector<Item> result;
    result.reserve(value_.size());
    for (std::size_t i = 0; i < value_.size(); ++i) result.push_back({i, this});
    return result;
  }

  // The input order found: the value of each position, 0 to n-1. Elements
  // the sort never had to tell apart get the largest values.
  std::vector<std::uint64_t> input_order() {
    for (std::size_t i = 0; i < value_.size(); ++i) {
      if (value_[i] == kGas) value_[i] = solid_++;
    }
    return value_;
  }

  std::uint64_t comparisons() const { return comparisons_; }

  int compare(std::size_t x, std::size_t y) {
    ++comparisons_;
    if (value_[x] == kGas && value_[y] == kGas) {
      if (x == candidate_) {
        value_[x] = solid_++;
      } else {
        value_[y] = solid_++;
      }
    }
    if (value_[x] == kGas) {
      candidate_ = x;
    } else if (value_[y] == kGas) {
      candidate_ = y;
    }
    if (value_[x] == value_[y]) return 0;
    return value_[x] < value_[y] ? -1 : 1;
  }

 private:
  static constexpr std::uint64_t kGas = UINT64_MAX;

  std::vector<std::uint64_t> value_;
  std::uint64_t solid_ = 0;
  std::size_t candidate_ = 0;
  std::uint64_t comparisons_ = 0;
};

}  // namespace refloom::bench
