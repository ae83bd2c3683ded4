#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <random>
#include <set>

#include "core/numbering.h"
#include "numeric/sort.h"

namespace refloom {
namespace {

ReferenceDatabase with_ids(std::initializer_list<RefId> ids) {
  ReferenceDatabase db;
  for (RefId id : ids) {
    db.add_reference();
    db.set_ref_id(db.ref_count(), id);
  }
  return db;
}

// The algorithm as it was first written: single-precision copies, sorted,
// first element greater than its candidate.
RefId next_refid_float(const std::vector<RefId>& ids) {
  if (ids.empty()) return 1;
  std::vector<float> values(ids.begin(), ids.end());
  sort(values.size(), values.data());
  const auto s = static_cast<RefId>(values[0]);
  for (std::size_t k = 1; k <= values.size(); ++k) {
    const RefId j = s + k - 1;
    if (values[k - 1] > static_cast<float>(j)) return j;
  }
  return static_cast<RefId>(values.back()) + 1;
}

TEST(NextRefid, Examples) {
  EXPECT_EQ(next_refid(ReferenceDatabase(), 0), 1U);
  EXPECT_EQ(next_refid(with_ids({1, 2, 4}), 3), 3U);
  EXPECT_EQ(next_refid(with_ids({3, 4, 5}), 3), 6U);
  EXPECT_EQ(next_refid(with_ids({1, 2, 3}), 3), 4U);
  EXPECT_EQ(next_refid(with_ids({2, 2, 5}), 3), 4U);
  EXPECT_EQ(next_refid(with_ids({5, 1, 2}), 3), 3U);
  // Only the first a references count.
  EXPECT_EQ(next_refid(with_ids({1, 2, 3}), 2), 3U);
  EXPECT_EQ(next_refid(with_ids({1, 2, 3}), 99), 4U);
}

TEST(NextRefid, AgreesWithSinglePrecisionWhereItIsExact) {
  std::mt19937 rng(11);
  for (int round = 0; round < 2000; ++round) {
    const std::size_t n = 1 + rng() % 20;
    const RefId range = round % 2 ? 30 : 16000000;
    std::vector<RefId> ids(n);
    for (RefId& id : ids) id = rng() % range;
    ReferenceDatabase db;
    for (RefId id : ids) {
      db.add_reference();
      db.set_ref_id(db.ref_count(), id);
    }
    EXPECT_EQ(next_refid(db, n), next_refid_float(ids));
  }
}

TEST(NextRefid, NeverAnIdentifierInUseAboveSinglePrecision) {
  const RefId big = (RefId{1} << 40) + 1;  // no float holds it exactly
  ReferenceDatabase db = with_ids({big, big + 1, big + 3});
  EXPECT_EQ(next_refid(db, 3), big + 2);
  const RefId max = std::numeric_limits<RefId>::max();
  EXPECT_EQ(next_refid(with_ids({max - 1, max}), 2), max - 2);
  EXPECT_EQ(next_refid(with_ids({max}), 1), max - 1);
  EXPECT_EQ(next_refid(with_ids({max - 2, max}), 2), max - 1);
}

TEST(RenumberLoaded, EachIsNumberedAgainstAllBeforeIt) {
  ReferenceDatabase db = with_ids({1, 5, 1, 2});
  renumber_loaded(db, 2);
  EXPECT_EQ(db.reference(2).ref_id(), 2U);
  EXPECT_EQ(db.reference(3).ref_id(), 3U);
  EXPECT_EQ(db.reference(0).ref_id(), 1U);
  EXPECT_EQ(db.reference(1).ref_id(), 5U);
}

TEST(RenumberLoaded, EmptyDatabaseBeforeKeepsTheReadIdentifiers) {
  ReferenceDatabase db = with_ids({7, 7});
  renumber_loaded(db, 0);
  EXPECT_EQ(db.reference(0).ref_id(), 7U);
  EXPECT_EQ(db.reference(1).ref_id(), 7U);
}

TEST(RenumberLoaded, MatchesCallingNextRefidForEachReference) {
  std::mt19937 rng(5);
  for (int round = 0; round < 300; ++round) {
    ReferenceDatabase fast;
    const std::size_t before = 1 + rng() % 30;
    const std::size_t loaded = 1 + rng() % 30;
    const RefId max = std::numeric_limits<RefId>::max();
    for (std::size_t i = 0; i < before + loaded; ++i) {
      fast.add_reference();
      RefId id = rng() % 40;
      if (round % 5 == 0) id = max - rng() % 40;  // crowd the top
      fast.set_ref_id(fast.ref_count(), id);
    }
    ReferenceDatabase slow = fast;
    renumber_loaded(fast, before);
    for (std::size_t i = before; i < slow.ref_count(); ++i) {
      slow.reference(i).set_ref_id(next_refid(slow, i));
    }
    std::set<RefId> seen;
    for (std::size_t i = 0; i < fast.ref_count(); ++i) {
      ASSERT_EQ(fast.reference(i).ref_id(), slow.reference(i).ref_id()) << "round " << round << " index " << i;
      if (i >= before) {
        EXPECT_EQ(seen.count(fast.reference(i).ref_id()), 0U);
      }
      seen.insert(fast.reference(i).ref_id());
    }
  }
}

}  // namespace
}  // namespace refloom
