#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/reference_database.h"

namespace refloom {

// How a search result combines with the listed references. The search
// dialog's toggles carry these numbers.
enum class SearchMode : int {
  kAnd = 1,  // keep the listed references that match
  kOr = 2,   // add the matching references of the whole database
  kNot = 3,  // drop the listed references that match
};

// A search text prepared once for many fields. Folding makes the letters a
// to z equal to A to Z; in a UTF-8 locale (the window's, when the
// environment asks for one) it makes every letter equal to its other case
// (Škoda finds škoda), bytes that are no UTF-8 taken as Latin-1 as the
// display shows them. Without folding every byte matches only itself.
class TextPattern {
 public:
  TextPattern(std::string_view pattern, bool fold);
  // Whether the pattern occurs in the text as a contiguous substring; the
  // empty pattern occurs in every text, the empty one included.
  bool found_in(std::string_view text) const;

 private:
  std::string pattern_;  // folded to upper case when folding
  bool fold_;
  // A pattern beyond ASCII, folded in a UTF-8 locale: the pattern in lower
  // case, the text folded the same way before it is looked through.
  bool unicode_ = false;
  std::array<std::size_t, 256> skip_{};
};

bool contains_text(std::string_view field, std::string_view pattern, bool fold);

// Some text slot (entry type, keyword and all fields, reprint included;
// not the RefId), the citation key or a field outside the 28 holds the
// pattern.
bool all_fields_match(const Reference& reference, const TextPattern& pattern);

// The criteria typed into the search form: the RefId when it is not 0, and
// every non-empty text slot (the reprint compared exactly, never folded),
// the citation key, and the other fields (met by a field outside the 28
// with the text in its name or its value). A criterion on a field the
// reference lacks is not met.
class FormCriteria {
 public:
  FormCriteria(const EditBuffer& buffer, bool fold);
  // Every criterion is met (AND, OR); true without criteria.
  bool matches(const Reference& reference) const;
  // Some criterion is met (NOT); false without criteria.
  bool hits(const Reference& reference) const;

 private:
  struct FieldCriterion {
    int slot;
    std::string exact;  // the reprint
    TextPattern pattern;
  };
  bool met(const FieldCriterion& criterion, const Reference& reference) const;

  RefId ref_id_;
  std::vector<FieldCriterion> fields_;
};

// Combines the listed indices (ascending) with a test by the mode: AND and
// NOT keep the order of the listed set, OR gives database order. Any other
// mode gives the listed set unchanged.
std::vector<std::size_t> combine_search(SearchMode mode, const ReferenceDatabase& database,
                                        const std::vector<std::size_t>& listed,
                                        const std::function<bool(const Reference&)>& test);

// "Search in all fields": the listed indices combined with the references
// that hold the text in some field.
std::vector<std::size_t> search_all_fields(SearchMode mode, const ReferenceDatabase& database,
                                           const std::vector<std::size_t>& listed, std::string_view text, bool fold);

// A search through the form: AND and OR take the references that meet
// every criterion of the buffer, NOT drops those that meet any of them.
std::vector<std::size_t> search_by_form(SearchMode mode, const ReferenceDatabase& database,
                                        const std::vector<std::size_t>& listed, const EditBuffer& criteria, bool fold);

}  // namespace refloom
