#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace refloom {

using RefId = std::uint64_t;
// One of the 28 text fields of a reference: 2 (keyword) to 29 (year).
using FieldSlot = int;
// Index of an entry type name (0 article .. 12 unpublished), -1 for others.
using EntryType = std::int16_t;

// Slot numbers of a reference. Slot 0 is the RefId, slot 1 the entry type
// name, slots 2 to 29 the BibTeX fields; every part of the program addresses
// fields by these numbers.
enum Slot : int {
  kRefIdSlot = 0,
  kEntryTypeSlot = 1,
  kKeyword = 2,
  kAbstract = 3,
  kAddress = 4,
  kAnnote = 5,
  kAuthor = 6,
  kBooktitle = 7,
  kChapter = 8,
  kComment = 9,
  kCrossref = 10,
  kEdition = 11,
  kEditor = 12,
  kHowpublished = 13,
  kInstitution = 14,
  kJournal = 15,
  kKey = 16,
  kMonth = 17,
  kNote = 18,
  kNumber = 19,
  kOrganization = 20,
  kPages = 21,
  kPublisher = 22,
  kReprint = 23,
  kSchool = 24,
  kSeries = 25,
  kTitle = 26,
  kType = 27,
  kVolume = 28,
  kYear = 29,
};

inline constexpr int kSlotCount = 30;
inline constexpr int kFieldCount = 28;

// The edit buffer's two texts beyond the slots: the citation key, and the
// fields outside the 28 as "name = {value}" lines. The form addresses them
// by these numbers as it does the slots.
inline constexpr int kCitationKeyText = 30;
inline constexpr int kOtherFieldsText = 31;
inline constexpr int kEditTextCount = 32;

struct FieldInfo {
  std::string_view name;
  FieldSlot slot;
  // What the BibTeX writer puts before the value: name, padding, "= " and
  // the opening double quote.
  std::string_view prefix;
};

// The 28 fields in field order (alphabetical by name), the order in which
// files are written and field names are matched.
extern const std::array<FieldInfo, kFieldCount> kFieldOrder;

// The slot of a lower-case field name, if it is one of the 28.
std::optional<FieldSlot> field_slot(std::string_view name);

// The name of a text field slot (2..29).
std::string_view field_name(FieldSlot slot);

// The 13 entry type names, by EntryType.
inline constexpr std::array<std::string_view, 13> kEntryTypeNames = {
    "article",       "book", "booklet",   "inbook",      "incollection", "inproceedings", "manual",
    "mastersthesis", "misc", "phdthesis", "proceedings", "techreport",   "unpublished"};

// The two values of the reprint field the form offers, by button index.
inline constexpr std::array<std::string_view, 2> kReprintValues = {"IN FILE", "NOT IN FILE"};

// The EntryType of a name: exact, case-sensitive; -1 for any other name.
EntryType entry_type_of(std::string_view name);

}  // namespace refloom
