#pragma once

// The fields outside the 28 as the reference form shows and takes them, the
// names newer styles give some of the 28 fields, and the rules for
// citation keys.

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/bibtex_value.h"
#include "core/fields.h"
#include "core/reference_extras.h"

namespace refloom {

// biblatex's names for four of the 28 fields: journaltitle (journal),
// location (address), keywords (keyword) and date (year, and month). Such a
// field fills its standard field when the entry does not give that one; it
// is kept under its own name as well.
inline constexpr std::array<std::string_view, 4> kAliasNames = {"journaltitle", "location", "keywords", "date"};

// The texts the alias fields among `fields` give the standard fields: for
// each slot that an alias fills, its text (date gives the year, and the
// month by name when it names one). A name is matched without regard to
// case; the first field of a name counts.
std::array<std::optional<std::string>, kSlotCount> alias_texts(const std::vector<OtherField>& fields);
std::array<std::optional<std::string>, kSlotCount> alias_texts(const ReferenceExtras& extras);
// The same for the fields a builder gathered so far.
std::array<std::optional<std::string>, kSlotCount> alias_texts(const ReferenceExtras::Builder& extras);

// The other fields as the form shows them: one "name = value" line each,
// the value in its source form when that still stands for its text, else
// in braces (or quotes, for a text whose braces do not balance).
std::string format_other_fields(const std::vector<OtherField>& fields, const MacroTable& macros);
std::string format_other_fields(const ReferenceExtras& extras, const MacroTable& macros);

// Reads the form's text back: "name = value" fields, one after the other
// (a comma between them may be left out), each value in braces or quotes,
// a number, or macros joined by "#". A name of one of the 28 fields, a
// name given twice, or anything that is no such field is refused: nullopt,
// with `error` saying what and where ("line 2: ...").
std::optional<std::vector<OtherField>> parse_other_fields(std::string_view text, const MacroTable& macros,
                                                          std::string& error);

// What is wrong with a citation key typed in, if anything: BibTeX cannot
// take blanks, commas, braces, quotes, "#", "%" or "=" in a key, and a
// number as Refloom writes it is the Ref. ID's place.
std::optional<std::string> citation_key_fault(std::string_view key);

// Whether two keys are the same to BibTeX, which compares them without
// regard to case.
bool same_key(std::string_view a, std::string_view b);

// The letters appended to a key held already: a, b, ..., z, aa, ab, ...
// for n = 0, 1, ...
std::string key_suffix(std::size_t n);

// Hashing and comparing keys as BibTeX tells them apart: without regard to
// case (a to z only).
struct KeyHash {
  std::size_t operator()(std::string_view key) const;
};
struct KeyEqual {
  bool operator()(std::string_view a, std::string_view b) const { return same_key(a, b); }
};

// A decimal number without a leading zero, within 64 bits: such a key is a
// RefId.
std::optional<RefId> numeric_key(std::string_view key);

}  // namespace refloom
