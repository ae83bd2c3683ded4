#pragma once

#include <cstddef>
#include <ostream>
#include <vector>

#include "core/fields.h"
#include "core/reference_database.h"

namespace refloom {

// Finds free RefIds the way the program always has: sort the identifiers in
// use, start from the smallest, and take the first number that the sorted
// run skips; without a gap, one more than the largest. Numbers below the
// smallest identifier are not reused, and a duplicate shifts the candidates
// by one. Works on exact integers, so the result is never an identifier in
// use; only when the largest possible identifier is taken and no gap is left
// above the smallest, the number just below the smallest is used.
//
// Taking a result and asking again continues the same scan, so numbering
// many new references costs one sort, not one per reference.
class RefIdAllocator {
 public:
  explicit RefIdAllocator(std::vector<RefId> ids_in_use);

  // The next free identifier with respect to every identifier so far.
  RefId peek();
  // Counts `id` (the result of peek) as used from now on.
  void take(RefId id);

 private:
  std::vector<RefId> sorted_;  // the identifiers given at construction
  std::size_t scanned_ = 0;    // leading elements known to leave no gap
  std::size_t taken_ = 0;      // results taken, all below sorted_[scanned_]
  RefId smallest_ = 0;
  RefId largest_ = 0;
};

// The next free RefId with respect to the first min(leading_count, count)
// references; 1 when the database is empty.
RefId next_refid(const ReferenceDatabase& database, std::size_t leading_count);

// Gives the references from database index `first_new` on new identifiers,
// each numbered against all references before it, as a load into a
// database that already held `first_new` references does.
void renumber_loaded(ReferenceDatabase& database, std::size_t first_new);

// Gives the references from database index `first_new` on citation keys
// that no reference before them holds (BibTeX compares keys without regard
// to case): a key held already gets the first free letters appended, and a
// crossref among the new references follows the key it named. One message
// on `messages` says which key became which.
void make_loaded_keys_unique(ReferenceDatabase& database, std::size_t first_new, std::ostream& messages);

}  // namespace refloom
